#!/usr/bin/env bash
# Times the duplicate-file scan through its real code (`clarivex-cli scan
# duplicates --drive TREE`: walk, keys, signatures, byte comparison, list rows)
# against `jdupes -r` on one synthetic tree, and checks that both found the
# same sets.
#
#   bench/bench_duplicates.sh BIN_DIR TREE_DIR [RUNS]
#
# The scan runs with "Require same name" and "Require same date/time" off
# (equal content only, as jdupes decides), in a settings folder of its own;
# the time with the default options (both on) is printed as well. TREE_DIR is
# made with clarivex-gen-tree (seed 1, 200,000 files) when it does not exist.
# jdupes is installed with apt-get when it is missing. Each side runs once to
# warm the cache, then RUNS times (default 3); the best time counts. Target:
# ratio <= 0.5 warm, <= 0.7 cold. With a writable /proc/sys/vm/drop_caches a
# cold-cache run of each side is printed too. fdupes -r and rmlint run once
# each on the warm cache (BENCH_PEERS=0 leaves them out). Run it on the
# repository's tree (made by clarivex-gen-tree) and on the shared tree of
# make-tree.py alike: the latter has many more sets to confirm.
#
# Sets are compared on the files the scan takes: jdupes' sets lose the files
# of folders holding a desktop.ini, of SYSBCKUP folders and those named like
# mm256.dat / mm2048.dat; a set left with one file is dropped. Both sides leave
# out empty files, symbolic links and second paths to one file.

set -euo pipefail
export LC_ALL=C

source "$(dirname "$0")/bench_common.sh"
bench_setup "$0" "$@"
need_tool jdupes jdupes
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.local/state
key='HKCU\Software\Marlowtek\Clarivex 2000\Settings\Duplicate Files'
options() { # NAME DATE_TIME
    "$cli" reg set "$key" CheckFileName --flag "$1" >/dev/null
    "$cli" reg set "$key" CheckFileTimeStamp --flag "$2" >/dev/null
}

options false false
ours=$(best_time "$work/ours" "$cli" scan duplicates --drive "$tree")
theirs=$(best_time "$work/theirs" jdupes -r -q "$tree")
options true true
defaults=$(best_time "$work/defaults" "$cli" scan duplicates --drive "$tree")

# CPU seconds (user + system) of one warm run: on a shared machine the wall
# time also measures the other processes.
cpu_time() {
    local TIMEFORMAT='%U %S' t
    t=$({ time "$@" >/dev/null; } 2>&1 | tail -n 1)
    echo "$t" | awk '{ printf "%.3f", $1 + $2 }'
}
# Wall time of one run after the page cache was dropped.
cold_time() {
    local start end
    sync
    echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || { printf 'n/a'; return; }
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    printf '%.3f' "$(echo "$end - $start" | bc -l)"
}

# The other peers, once each on the warm cache (they are far slower).
once_time() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    printf '%.3f' "$(echo "$end - $start" | bc -l)"
}
fdupes_time=n/a rmlint_time=n/a
if [[ ${BENCH_PEERS:-1} == 1 ]]; then
    need_tool fdupes fdupes
    need_tool rmlint rmlint
    fdupes_time=$(once_time fdupes -r -q "$tree")
    rmlint_time=$(once_time rmlint -T df -o fdupes:"$work/rmlint.txt" "$tree")
fi

options false false
cpu_ours=$(cpu_time "$cli" scan duplicates --drive "$tree")
cpu_theirs=$(cpu_time jdupes -r -q "$tree")
cold_ours=n/a cold_theirs=n/a
if [[ -w /proc/sys/vm/drop_caches ]]; then
    cold_ours=$(cold_time "$cli" scan duplicates --drive "$tree")
    cold_theirs=$(cold_time jdupes -r -q "$tree")
fi

# Sets as lines of their sorted paths joined by "|". Ours: blank line, then the
# rows (name TAB folder ...), totals last. jdupes: paths, a blank line after each set.
sets() { # FILE FILTER(0|1) - one set per line
    awk -v filter="$2" -v ours="$3" -F'\t' '
        function keep(path,   name, folder, lower) {
            if (!filter) return 1
            name = path; sub(/.*\//, "", name)
            folder = substr(path, 1, length(path) - length(name))
            lower = tolower(name)
            if (lower == "mm256.dat" || lower == "mm2048.dat") return 0
            if (index(toupper(folder), "/SYSBCKUP/")) return 0
            if (!(folder in ini)) ini[folder] = (system("test -e \"" folder "desktop.ini\"") == 0)
            return !ini[folder]
        }
        function flush() { if (n >= 2) { out = ""; for (i = 1; i <= n; i++) out = out "|" p[i]; print out } n = 0 }
        /^Files: / { next }
        $0 == "" { flush(); next }
        { path = ours ? $2 $1 : $0; if (keep(path)) p[++n] = path }
        END { flush() }' "$1" | while IFS= read -r line; do
        tr '|' '\n' <<<"${line#|}" | sort | paste -sd'|'
    done | sort
}
sets "$work/ours" 0 1 >"$work/ours.sets"
sets "$work/theirs" 1 0 >"$work/theirs.sets"
only_ours=$(comm -23 "$work/ours.sets" "$work/theirs.sets" | wc -l)
only_theirs=$(comm -13 "$work/ours.sets" "$work/theirs.sets" | wc -l)

ratio() { [[ $1 == n/a || $2 == n/a ]] && echo n/a || printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
echo "tree: $tree, cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg), best of $runs"
printf '%-34s %10s %10s %8s %8s\n' "" "clarivex" "jdupes -r" "ratio" "target"
printf '%-34s %10s %10s %8s %8s\n' "warm cache, content only" "$ours" "$theirs" \
    "$(ratio "$ours" "$theirs")" "<= 0.50"
printf '%-34s %10s %10s %8s %8s\n' "cold page cache, content only" "$cold_ours" "$cold_theirs" \
    "$(ratio "$cold_ours" "$cold_theirs")" "<= 0.70"
printf '%-34s %10s %10s %8s\n' "CPU seconds, content only" "$cpu_ours" "$cpu_theirs" \
    "$(ratio "$cpu_ours" "$cpu_theirs")"
printf '%-34s %10s\n' "default options (name, time on)" "$defaults"
printf '%-34s %10s %10s %8s\n' "fdupes -r (once, warm)" "$ours" "$fdupes_time" \
    "$(ratio "$ours" "$fdupes_time")"
printf '%-34s %10s %10s %8s\n' "rmlint (once, warm)" "$ours" "$rmlint_time" \
    "$(ratio "$ours" "$rmlint_time")"
echo "sets: clarivex $(wc -l <"$work/ours.sets"), jdupes $(wc -l <"$work/theirs.sets")" \
    "(after its files outside the scan's rules are dropped); only clarivex: $only_ours, only jdupes: $only_theirs"
tail -n 1 "$work/ours"
((only_ours == 0 && only_theirs == 0)) || { echo "RESULT: the sets differ"; exit 1; }
