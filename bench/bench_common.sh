# Shared by the benchmark scripts (sourced, not run).

# best_time OUTFILE COMMAND...: runs the command (stdout to OUTFILE) once to
# warm the cache and $runs times more; prints the best wall time in seconds.
best_time() {
    local out=$1 best="" start end elapsed
    shift
    "$@" >"$out"
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s.%N)
        "$@" >"$out"
        end=$(date +%s.%N)
        elapsed=$(echo "$end - $start" | bc -l)
        if [[ -z $best ]] || (($(echo "$elapsed < $best" | bc -l))); then best=$elapsed; fi
    done
    printf '%.3f' "$best"
}

# need_tool PROGRAM PACKAGE: installs the package with apt-get when the
# program is missing.
need_tool() {
    command -v "$1" >/dev/null && return
    echo "installing $2 for $1" >&2
    apt-get install -y -q "$2" >/dev/null || { apt-get update -q >/dev/null && apt-get install -y -q "$2" >/dev/null; }
}

# bench_setup SCRIPT ARGS...: reads BIN_DIR TREE_DIR [RUNS] into bin, tree
# (absolute), runs (default 3) and cli, and makes the tree with
# clarivex-gen-tree (seed 1, 200,000 files) when it does not exist.
bench_setup() {
    local script=$1
    shift
    if [[ $# -lt 2 ]]; then
        echo "usage: $script BIN_DIR TREE_DIR [RUNS]" >&2
        exit 2
    fi
    bin=$(cd "$1" && pwd)
    tree=${2%/}
    runs=${3:-3}
    cli="$bin/clarivex-cli"
    [[ -x $cli ]] || { echo "no clarivex-cli in $bin" >&2; exit 2; }
    [[ -d $tree ]] || "$bin/clarivex-gen-tree" --seed 1 --files 200000 "$tree"
    tree=$(cd "$tree" && pwd)
}
