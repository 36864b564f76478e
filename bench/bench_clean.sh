#!/usr/bin/env bash
# Times the clean through its real code (`clarivex-cli scan temp --drive TREE
# --clean`: the scan, then the clean of every file found, without questions)
# against the peer tools on the same files, in one run, warm cache:
#
#   zip clean   (DeleteType 3) against Info-ZIP `zip -r -m` at its default
#               level: both move the files into one archive. Ours also checks
#               every entry read back against its source before the source
#               goes to the Trash. Targets: wall ratio <= 0.5 on every core,
#               on both trees below, and <= 1.0 on one core (taskset -c 0,
#               the peer on the same core).
#   Trash clean (DeleteType 0) against `rm` of the same files (found by
#               `find`): ours writes a .trashinfo and renames each file into
#               the Trash. Targets: wall ratio <= 1.5, processor ratio <= 3.0.
#   history cost: the same Trash clean against one with no clean history to
#               write, their runs taken in turns. Target: <= 1.1 (the history
#               costs at most a tenth).
#
#   bench/bench_clean.sh BIN_DIR [WORK_DIR] [RUNS]
#
# Trees: "mixed" is clarivex-gen-tree (seed 2, 20,000 files) without its large
# files, links and FIFOs, about 100 MB of regular files; "text" is 20,000
# small compressible text files (1 to 8 kB) in 100 folders. Every run starts
# from a fresh copy (not timed); the best of RUNS (default 3) counts. The scan
# lists every file ("*" as its only group) and the settings, Trash and archives
# live in WORK_DIR (default: a temporary folder), which is removed at the end.
#
# A peer's wall time includes its unlinks, which on a volume mounted with
# "discard" wait for the disk; the processor-time column is the steadier
# figure there. The load average closes every row.

set -euo pipefail
export LC_ALL=C

if [[ $# -lt 1 ]]; then
    echo "usage: $0 BIN_DIR [WORK_DIR] [RUNS]" >&2
    exit 2
fi
bin=$(cd "$1" && pwd)
runs=${3:-3}
cli="$bin/clarivex-cli"
[[ -x $cli ]] || { echo "no clarivex-cli in $bin" >&2; exit 2; }
if [[ -n ${2:-} ]]; then
    mkdir -p "$2"
    work=$(cd "$2" && pwd)/bench-clean.$$
    mkdir "$work"
else
    work=$(mktemp -d)
fi
trap 'echo "removing the spent copies..." >&2; rm -rf "$work"' EXIT

source "$(dirname "$0")/bench_common.sh"
need_tool zip zip
need_tool bc bc
need_tool unzip unzip
need_tool taskset util-linux
need_tool python3 python3

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.local/state \
    XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME"

"$bin/clarivex-gen-tree" --seed 2 --files 20000 "$work/mixed" >/dev/null
find "$work/mixed" ! -type f ! -type d -delete
find "$work/mixed" -type f -name 'large_*' -delete
python3 - "$work/text" <<'PY'
import os, random, sys
random.seed(3)
words = [b"clean ", b"temporary ", b"file ", b"archive ", b"entry ", b"line\n", b"cache ", b"log "]
for i in range(20000):
    folder = os.path.join(sys.argv[1], "d%03d" % (i % 100))
    os.makedirs(folder, exist_ok=True)
    size = random.randint(1024, 8192)
    text = b"".join(random.choice(words) for _ in range(size // 5))[:size]
    with open(os.path.join(folder, "f%05d.txt" % i), "wb") as f:
        f.write(text)
PY

key='HKCU\Software\Marlowtek\Clarivex 2000\Settings'
"$cli" reg set "$key\\Temporary Files\\Files Group" All --text '1*;' >/dev/null
"$cli" reg set "$key\\Options" ZipFileName --text "$work/zips" >/dev/null

# A fresh copy for every run. What the last run left (the tree, the Trash,
# the archives) is set aside, not deleted, until the end: on ext4 without a
# journal the kernel skips inodes freed in the last minutes when it allocates
# one, so deleting 40,000 files just before a timed run makes every file
# created in it (a .trashinfo) scan past them, a cost no user's clean meets.
# (The runs happen in subshells: every copy set aside gets a folder of its own.)
master=
fresh() {
    local aside item
    mkdir -p "$work/spent"
    aside=$(mktemp -d "$work/spent/XXXXXX")
    for item in "$work/tree" "$work/zips" "$work/peer.zip" "$XDG_DATA_HOME/Trash"; do
        if [[ -e $item ]]; then mv "$item" "$aside/"; fi
    done
    cp -a "$master" "$work/tree"
    sync
}

# timed COMMAND...: "wall cpu" seconds of one run (cpu = user + system).
timed() {
    local TIMEFORMAT='%R %U %S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1 | tail -n 1)
    echo "$t" | awk '{ printf "%.3f %.3f", $1, $2 + $3 }'
}
# best "WALL CPU"...: the run with the smallest wall time
best() { printf '%s\n' "$@" | sort -n | head -n 1; }
ratio() { echo "$1 / $2" | bc -l; }
verdict() { (($(echo "$1 <= $2" | bc -l))) && echo met || echo MISSED; }

# row LABEL OURS PEER TARGET [CPU_OURS CPU_PEER CPU_TARGET]; the load
# average when the row's runs ended closes the line.
row() {
    local r c=""
    r=$(ratio "$2" "$3")
    printf '%-26s %8s %8s %6.2f %6s %-6s' "$1" "$2" "$3" "$r" "<=$4" "$(verdict "$r" "$4")"
    if [[ -n ${5:-} ]]; then
        c=$(ratio "$5" "$6")
        printf ' | cpu %7s %7s %6.2f' "$5" "$6" "$c"
        if [[ -n ${7:-} ]]; then
            printf ' %6s %-6s' "<=$7" "$(verdict "$c" "$7")"
        else
            printf ' %13s' ""
        fi
    fi
    printf ' | load %s\n' "$(cut -d' ' -f1 /proc/loadavg)"
}

# ours MODE [PREFIX...]: our clean (DeleteType MODE: 0 Trash, 3 zip) of a
# fresh copy, best "wall cpu" of $runs; PREFIX runs it (taskset, env).
ours() {
    local mode=$1 results=() left
    shift
    "$cli" reg set "$key\\Options" DeleteType --number "$mode" >/dev/null
    for ((run = 0; run < runs; run++)); do
        fresh
        results+=("$(timed "$@" "$cli" scan temp --drive "$work/tree" --clean)")
        left=$(find "$work/tree" -type f | wc -l)
        ((left == 0)) || { echo "RESULT: the clean left $left files" >&2; exit 1; }
        if ((mode == 3)); then
            unzip -tqq "$work"/zips/*.zip >/dev/null || { echo "RESULT: unzip -t failed" >&2; exit 1; }
        fi
    done
    best "${results[@]}"
}

# ours_paired: the Trash clean with and without a clean history, their runs
# taken in turns, so that the disk's slow drifts (this volume's file creation
# speed changes with what was freed a while ago) fall on both alike. Prints
# the best "wall cpu" of each, on one line.
ours_paired() {
    local with=() without=() left
    "$cli" reg set "$key\\Options" DeleteType --number 0 >/dev/null
    for ((run = 0; run < runs; run++)); do
        fresh
        with+=("$(timed "$cli" scan temp --drive "$work/tree" --clean)")
        left=$(find "$work/tree" -type f | wc -l)
        ((left == 0)) || { echo "RESULT: the clean left $left files" >&2; exit 1; }
        fresh
        without+=("$(timed env XDG_STATE_HOME="$work/no-history" "$cli" scan temp \
            --drive "$work/tree" --clean)")
    done
    echo "$(best "${with[@]}") $(best "${without[@]}")"
}

# peer COMMAND...: a peer on a fresh copy, best "wall cpu" of $runs.
peer() {
    local results=()
    for ((run = 0; run < runs; run++)); do
        fresh
        results+=("$(timed "$@")")
    done
    best "${results[@]}"
}

echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg), best of $runs" \
    "(wall seconds; cpu = user + system)"
for name in mixed text; do
    master=$work/$name
    files=$(find "$master" -type f | wc -l)
    bytes=$(find "$master" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
    echo "tree $name: $files files, $bytes bytes"
done
printf '%-26s %8s %8s %6s %6s %-6s | %s\n' "" "clarivex" "peer" "ratio" "target" "" \
    "processor time: clarivex, peer, ratio, target | load"
# Every clean of ours first, the peers after: the peers delete what they
# take, and freshly freed inodes would slow the files our next run creates.
declare -A got
mkdir -p "$work/no-history" && touch "$work/no-history/clarivex" # no history can be made
for name in mixed text; do
    master=$work/$name
    got[zip-$name]=$(ours 3)
    got[zip1-$name]=$(ours 3 taskset -c 0)
    read -r w wc n nc <<<"$(ours_paired)"
    got[trash-$name]="$w $wc"
    got[bare-$name]="$n $nc"
done
for name in mixed text; do
    master=$work/$name
    zip_peer=(sh -c 'cd "$1" && zip -r -m -q "$2" tree' sh "$work" "$work/peer.zip")
    read -r a ac <<<"${got[zip-$name]}"
    read -r b bc_ <<<"$(peer "${zip_peer[@]}")"
    row "zip clean, $name" "$a" "$b" 0.5 "$ac" "$bc_"
    read -r a ac <<<"${got[zip1-$name]}"
    read -r b bc_ <<<"$(peer taskset -c 0 "${zip_peer[@]}")"
    row "zip clean, $name, 1 core" "$a" "$b" 1.0 "$ac" "$bc_"
    read -r a ac <<<"${got[trash-$name]}"
    read -r b bc_ <<<"$(peer sh -c 'find "$1" -type f -print0 | xargs -0 rm -f' sh "$work/tree")"
    row "Trash clean vs rm, $name" "$a" "$b" 1.5 "$ac" "$bc_" 3.0
    read -r n nc <<<"${got[bare-$name]}"
    row "history cost, $name" "$a" "$n" 1.1 "$ac" "$nc" 1.1
done
