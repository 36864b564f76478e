#!/usr/bin/env bash
# Times `clarivex-cli find` against GNU find and grep on one synthetic tree, on
# a warm cache, and checks that both sides found the same files.
#
#   bench/bench_find.sh BIN_DIR TREE_DIR [RUNS]
#
# BIN_DIR holds the built clarivex-cli and clarivex-gen-tree (build/bin); the
# script builds nothing. TREE_DIR is made with clarivex-gen-tree (seed 1,
# 200,000 files) when it does not exist. Each command runs once to warm the
# cache, then RUNS times (default 3); the best time counts.
#
# The finder's name matcher does not backtrack: a literal after "*" binds to
# its first occurrence, so '*.tmp' does not match 'a.tmp.tmp' while find's
# -iname does. With the factory masks every such name holds two dots or more;
# those differences are counted and listed, any other one fails the check.
#
# Targets: mask walk no slower than find (ratio <= 1.0); text search within
# 1.5 x grep.

set -euo pipefail
export LC_ALL=C

if [[ $# -lt 2 ]]; then
    echo "usage: $0 BIN_DIR TREE_DIR [RUNS]" >&2
    exit 2
fi
bin=$(cd "$1" && pwd)
tree=${2%/}
runs=${3:-3}
cli="$bin/clarivex-cli"
[[ -x $cli ]] || { echo "no clarivex-cli in $bin" >&2; exit 2; }
if [[ ! -d $tree ]]; then
    "$bin/clarivex-gen-tree" --seed 1 --files 200000 "$tree"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The six factory file groups.
groups=(
    "Temporary Files|*.TMP;*.~*;~*.*;*.??~;*.??\$;*.^*;"
    "Backup Files|*.BAK;*.OLD;"
    "Lost Cluster Files|CHKLIST.*;*.CHK;FILE????._DD;"
    "Help Temporary Files|*.GID;*.FTS;*.FTG;"
    "Setup Temporary Files|MSCREATE.DIR;*.---;"
    "System Log Files|*.LOG.TXT;BOOTLOG.PRV;MODEMDET.TXT;SUHDLOG.DAT;SYSTEM.1ST;"
)
all_masks=""
for group in "${groups[@]}"; do all_masks+="${group#*|}"; done
groups+=("All six groups, one walk|$all_masks")
needle="clarivex needle"

# best_time OUTFILE COMMAND...: runs the command (stdout to OUTFILE) once to
# warm up and RUNS times more; prints the best wall time in seconds.
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

# compare NAME OURS THEIRS ALLOW_DOTS: sorted NUL lists; prints counts, lists
# the differences, returns 1 on an unexplained one.
compare() {
    local name=$1 ours=$2 theirs=$3 allow=$4
    sort -z "$ours" >"$ours.s"
    sort -z "$theirs" >"$theirs.s"
    comm -z -23 "$ours.s" "$theirs.s" | tr '\0' '\n' >"$work/only-ours"
    comm -z -13 "$ours.s" "$theirs.s" | tr '\0' '\n' >"$work/only-theirs"
    local deliberate=0 unexplained=0
    unexplained=$(wc -l <"$work/only-ours")
    if [[ $allow == yes ]]; then
        deliberate=$(awk -F/ '{ name = $NF; if (gsub(/\./, ".", name) >= 2) n++ } END { print n + 0 }' "$work/only-theirs")
        unexplained=$((unexplained + $(wc -l <"$work/only-theirs") - deliberate))
    else
        unexplained=$((unexplained + $(wc -l <"$work/only-theirs")))
    fi
    echo "$deliberate $unexplained"
    if ((deliberate > 0)); then
        {
            echo "  $name: $deliberate names the matcher deliberately leaves out, e.g.:"
            awk -F/ '{ name = $NF; if (gsub(/\./, ".", name) >= 2) print "    " $0 }' "$work/only-theirs" | head -5
        } >>"$work/notes"
    fi
    if ((unexplained > 0)); then
        {
            echo "  $name: $unexplained UNEXPLAINED differences:"
            sed 's/^/    only clarivex: /' "$work/only-ours" | head -10
            if [[ $allow == yes ]]; then
                awk -F/ '{ name = $NF; if (gsub(/\./, ".", name) < 2) print "    only the other: " $0 }' "$work/only-theirs" | head -10
            else
                sed 's/^/    only the other: /' "$work/only-theirs" | head -10
            fi
        } >>"$work/notes"
        return 1
    fi
    return 0
}

find_args() { # find's expression for a mask text
    local masks=$1 expr=() first=1 mask
    IFS=';' read -ra parts <<<"$masks"
    for mask in "${parts[@]}"; do
        [[ -z $mask ]] && continue
        ((first)) || expr+=(-o)
        expr+=(-iname "$mask")
        first=0
    done
    printf '%s\0' "$tree" "(" -type f -o "(" -type l "!" -xtype d ")" ")" "(" "${expr[@]}" ")" -print0
}

echo "tree: $tree ($(find "$tree" -type f | wc -l) files, $(find "$tree" -type d | wc -l) folders, $(du -sh "$tree" | cut -f1))"
echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg), best of $runs runs after a warm-up"
echo
printf '%-28s %8s %8s %6s %8s %10s\n' "masks" "clarivex" "find" "ratio" "files" "deliberate"
failed=0
: >"$work/notes"
for group in "${groups[@]}"; do
    name=${group%%|*}
    masks=${group#*|}
    mapfile -d '' fargs < <(find_args "$masks")
    ours=$(best_time "$work/ours" "$cli" find --null --mask "$masks" "$tree")
    theirs=$(best_time "$work/theirs" find "${fargs[@]}")
    read -r deliberate unexplained < <(compare "$name" "$work/ours" "$work/theirs" yes) || true
    ((unexplained == 0)) || failed=1
    count=$(tr -cd '\0' <"$work/ours" | wc -c)
    printf '%-28s %8s %8s %6.2f %8d %10d\n' "$name" "$ours" "$theirs" \
        "$(echo "$ours / $theirs" | bc -l)" "$count" "$deliberate"
done

echo
printf '%-28s %8s %8s %6s %8s\n' "text" "clarivex" "grep" "ratio" "files"
ours=$(best_time "$work/ours" "$cli" find --null --text "$needle" "$tree")
theirs=$(best_time "$work/theirs" grep -rilFZ -- "$needle" "$tree")
read -r deliberate unexplained < <(compare "text" "$work/ours" "$work/theirs" no) || true
((unexplained == 0)) || failed=1
count=$(tr -cd '\0' <"$work/ours" | wc -c)
printf '%-28s %8s %8s %6.2f %8d\n' "\"$needle\"" "$ours" "$theirs" \
    "$(echo "$ours / $theirs" | bc -l)" "$count"

if [[ -s $work/notes ]]; then
    echo
    cat "$work/notes"
fi
echo
if ((failed)); then
    echo "RESULT: the two sides found different files"
    exit 1
fi
echo "RESULT: both sides found the same files (apart from the deliberate matcher differences)"
