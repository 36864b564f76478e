#!/usr/bin/env bash
# Times the temporary-file scan through its real code (`clarivex-cli scan temp
# --drive TREE`, which also builds the list rows and the tree's path lines)
# against GNU find with the same masks, on one synthetic tree, warm cache.
#
#   bench/bench_scan_temp.sh BIN_DIR TREE_DIR [RUNS]
#
# The scan runs with the settings of a first start (the six factory groups,
# no folder skipped, no filter) in a settings folder of its own. TREE_DIR is
# made with clarivex-gen-tree (seed 1, 200,000 files) when it does not exist.
# Each side runs once to warm the cache, then RUNS times (default 3); the best
# time counts. Target: ratio <= 1.3.

set -euo pipefail
export LC_ALL=C

source "$(dirname "$0")/bench_common.sh"
bench_setup "$0" "$@"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.local/state

masks="*.TMP;*.~*;~*.*;*.??~;*.??\$;*.^*;*.BAK;*.OLD;CHKLIST.*;*.CHK;FILE????._DD;*.GID;*.FTS;*.FTG;MSCREATE.DIR;*.---;*.LOG.TXT;BOOTLOG.PRV;MODEMDET.TXT;SUHDLOG.DAT;SYSTEM.1ST;"
expr=()
IFS=';' read -ra parts <<<"$masks"
for mask in "${parts[@]}"; do
    [[ -z $mask ]] && continue
    ((${#expr[@]})) && expr+=(-o)
    expr+=(-iname "$mask")
done

ours=$(best_time "$work/ours" "$cli" scan temp --drive "$tree")
theirs=$(best_time "$work/theirs" find "$tree" "(" -type f -o "(" -type l "!" -xtype d ")" ")" \
    "(" "${expr[@]}" ")" -print)

# The scan prints name, folder, ... per row and a totals line last.
head -n -1 "$work/ours" | awk -F'\t' '{ print $2 $1 }' | sort >"$work/ours.paths"
sort "$work/theirs" >"$work/theirs.paths"
only_ours=$(comm -23 "$work/ours.paths" "$work/theirs.paths" | wc -l)
only_theirs=$(comm -13 "$work/ours.paths" "$work/theirs.paths" | wc -l)

echo "tree: $tree, cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg), best of $runs"
printf '%-22s %10s %10s %8s\n' "" "scan temp" "find" "ratio"
printf '%-22s %10s %10s %8.2f\n' "six factory groups" "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
echo "rows: $(wc -l <"$work/ours.paths"), find: $(wc -l <"$work/theirs.paths")," \
    "only the scan: $only_ours, only find: $only_theirs (names such as a.tmp.tmp that find's globbing matches)"
tail -n 1 "$work/ours"
((only_ours == 0)) || { echo "RESULT: the scan listed files find did not"; exit 1; }
