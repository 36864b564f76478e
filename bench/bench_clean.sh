#!/usr/bin/env bash
# Times the clean through its real code (`clarivex-cli scan temp --drive TREE
# --clean`: the scan, then the clean of every file found, without questions)
# against the peer tools on the same files, warm cache:
#
#   zip clean   (DeleteType 3) against Info-ZIP `zip -r -m` at its default
#               level: both move the files into one archive. Ours also checks
#               every entry read back against its source before the source
#               goes to the Trash. Target: ratio <= 1.0.
#   Trash clean (DeleteType 0) against `rm` of the same files (found by
#               `find`): ours writes a .trashinfo and renames each file into
#               the Trash. Target: ratio <= 2.0.
#   The same Trash clean with no clean history to write (its folder cannot be
#               made): what the history's records cost. Target: <= 10 %.
# The ratios of wall time are the targets; the ratios of processor time are
# printed beside them, since on a busy disk an unlink (which frees blocks)
# waits far longer than a rename.
#
#   bench/bench_clean.sh BIN_DIR [WORK_DIR] [RUNS]
#
# The files are those of clarivex-gen-tree (seed 2, 20,000 files) without its
# large files, links and FIFOs: about 100 MB of regular files. Every run starts
# from a fresh copy (not timed); the best of RUNS (default 3) counts. The scan
# lists every file ("*" as its only group) and the settings, Trash and archives
# live in WORK_DIR (default: a temporary folder), which is removed at the end.

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
trap 'rm -rf "$work"' EXIT

source "$(dirname "$0")/bench_common.sh"
need_tool zip zip
need_tool bc bc
need_tool unzip unzip

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.local/state \
    XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME"

"$bin/clarivex-gen-tree" --seed 2 --files 20000 "$work/master" >/dev/null
find "$work/master" ! -type f ! -type d -delete
find "$work/master" -type f -name 'large_*' -delete
files=$(find "$work/master" -type f | wc -l)
bytes=$(find "$work/master" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')

key='HKCU\Software\Marlowtek\Clarivex 2000\Settings'
"$cli" reg set "$key\\Temporary Files\\Files Group" All --text '1*;' >/dev/null
"$cli" reg set "$key\\Options" ZipFileName --text "$work/zips" >/dev/null

fresh() { rm -rf "$work/tree" "$work/zips" "$work/peer.zip" "$XDG_DATA_HOME/Trash"; cp -a "$work/master" "$work/tree"; sync; }

# timed COMMAND...: "wall cpu" seconds of one run (cpu = user + system).
timed() {
    local TIMEFORMAT='%R %U %S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1 | tail -n 1)
    echo "$t" | awk '{ printf "%.3f %.3f", $1, $2 + $3 }'
}
# best "WALL CPU"...: the run with the smallest wall time
best() { printf '%s\n' "$@" | sort -n | head -n 1; }

ours_zip=() theirs_zip=() ours_trash=() theirs_rm=() ours_unrecorded=()
# A file where the history's folder would be: the clean runs without one.
mkdir -p "$work/no-history" && touch "$work/no-history/clarivex"
for ((run = 0; run < runs; run++)); do
    "$cli" reg set "$key\\Options" DeleteType --number 3 >/dev/null
    fresh
    ours_zip+=("$(timed "$cli" scan temp --drive "$work/tree" --clean)")
    left=$(find "$work/tree" -type f | wc -l)
    ((left == 0)) || { echo "RESULT: the zip clean left $left files"; exit 1; }
    archived=$(unzip -l "$work"/zips/*.zip | tail -n 1 | awk '{ print $2 }')
    fresh
    theirs_zip+=("$(timed sh -c 'cd "$1" && zip -r -m -q "$2" tree' sh "$work" "$work/peer.zip")")

    "$cli" reg set "$key\\Options" DeleteType --number 0 >/dev/null
    fresh
    ours_trash+=("$(timed "$cli" scan temp --drive "$work/tree" --clean)")
    left=$(find "$work/tree" -type f | wc -l)
    ((left == 0)) || { echo "RESULT: the Trash clean left $left files"; exit 1; }
    fresh
    ours_unrecorded+=("$(timed env XDG_STATE_HOME="$work/no-history" \
        "$cli" scan temp --drive "$work/tree" --clean)")
    left=$(find "$work/tree" -type f | wc -l)
    ((left == 0)) || { echo "RESULT: the unrecorded Trash clean left $left files"; exit 1; }
    fresh
    theirs_rm+=("$(timed sh -c 'find "$1" -type f -print0 | xargs -0 rm -f' sh "$work/tree")")
done

read -r zip_ours zip_ours_cpu <<<"$(best "${ours_zip[@]}")"
read -r zip_theirs zip_theirs_cpu <<<"$(best "${theirs_zip[@]}")"
read -r trash_ours trash_ours_cpu <<<"$(best "${ours_trash[@]}")"
read -r rm_theirs rm_theirs_cpu <<<"$(best "${theirs_rm[@]}")"
read -r bare_ours bare_ours_cpu <<<"$(best "${ours_unrecorded[@]}")"
ratio() { echo "$1 / $2" | bc -l; }
echo "files: $files, bytes: $bytes, archived: $archived, cores: $(nproc)," \
    "load: $(cut -d' ' -f1-3 /proc/loadavg), best of $runs (wall seconds; cpu = user + system)"
printf '%-12s %9s %9s %7s %9s %9s %7s %8s\n' "" "clarivex" "peer" "ratio" "cpu ours" "cpu peer" \
    "ratio" "target"
printf '%-12s %9s %9s %7.2f %9s %9s %7.2f %8s\n' "zip clean" "$zip_ours" "$zip_theirs" \
    "$(ratio "$zip_ours" "$zip_theirs")" "$zip_ours_cpu" "$zip_theirs_cpu" \
    "$(ratio "$zip_ours_cpu" "$zip_theirs_cpu")" "<= 1.0"
printf '%-12s %9s %9s %7.2f %9s %9s %7.2f %8s\n' "Trash clean" "$trash_ours" "$rm_theirs" \
    "$(ratio "$trash_ours" "$rm_theirs")" "$trash_ours_cpu" "$rm_theirs_cpu" \
    "$(ratio "$trash_ours_cpu" "$rm_theirs_cpu")" "<= 2.0"
records=$("$cli" history --json | grep -o '"files":[0-9]*' | awk -F: '{ s += $2 } END { print s }')
printf '%-12s %9s %9s %7.2f %9s %9s %7.2f %8s\n' "history" "$trash_ours" "$bare_ours" \
    "$(ratio "$trash_ours" "$bare_ours")" "$trash_ours_cpu" "$bare_ours_cpu" \
    "$(ratio "$trash_ours_cpu" "$bare_ours_cpu")" "<= 1.10"
echo "(history: the Trash clean with its records against the same clean without;" \
    "$records file records written in all)"
