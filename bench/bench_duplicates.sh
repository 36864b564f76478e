#!/usr/bin/env bash
# Times the duplicate-file scan through its real code (`clarivex-cli scan
# duplicates --drive TREE`: walk, keys, signatures, hashes, list rows)
# against `jdupes -r`, `fdupes -r` and `rmlint` on one or more trees, and
# checks that every tool found the same sets.
#
#   bench/bench_duplicates.sh BIN_DIR TREE_DIR [TREE_DIR...]
#
# Run it on the repository's tree (a TREE_DIR that does not exist is made
# with clarivex-gen-tree, seed 1, 200,000 files) and on the shared tree of
# make-tree.py alike: the latter has many more sets to confirm. RUNS
# (default 3) sets the warm runs per figure; each side runs once to warm the
# cache first and the best time counts. BENCH_PEERS=0 leaves fdupes and
# rmlint out; they are slow and run once each, warm (rmlint is cut off after
# RMLINT_LIMIT seconds, default 90, and then shown as n/a). Missing peers are
# installed with apt-get.
#
# The scan runs with "Require same name" and "Require same date/time" off
# (equal content only, as the peers decide), in a home of its own:
#   first scan      --no-cache: every file read, nothing kept
#   cached rescan   the hash cache filled by an earlier scan of the same tree
# Cold figures drop the page cache before each run (echo 3 >
# /proc/sys/vm/drop_caches, root only; "n/a" otherwise). Targets against
# jdupes -r: first scan <= 0.50 warm and <= 0.70 cold, cached rescan <= 0.15.
#
# Sets are compared as sets of files (device and inode), so that hard links
# count once whichever path a tool shows. The peers' sets lose what the scan
# never takes: empty files, symbolic links, files in folders holding a
# desktop.ini or under SYSBCKUP, files named mm256.dat / mm2048.dat; a set
# left with one file is dropped.

set -euo pipefail
export LC_ALL=C

source "$(dirname "$0")/bench_common.sh"
if [[ $# -lt 2 ]]; then
    echo "usage: $0 BIN_DIR TREE_DIR [TREE_DIR...]" >&2
    exit 2
fi
bin=$(cd "$1" && pwd)
shift
runs=${RUNS:-3}
cli="$bin/clarivex-cli"
[[ -x $cli ]] || { echo "no clarivex-cli in $bin" >&2; exit 2; }
need_tool jdupes jdupes
if [[ ${BENCH_PEERS:-1} == 1 ]]; then
    need_tool fdupes fdupes
    need_tool rmlint rmlint
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.local/state
export XDG_CACHE_HOME=$work/home/.cache
key='HKCU\Software\Marlowtek\Clarivex 2000\Settings\Duplicate Files'
options() { # NAME DATE_TIME
    "$cli" reg set "$key" CheckFileName --flag "$1" >/dev/null
    "$cli" reg set "$key" CheckFileTimeStamp --flag "$2" >/dev/null
}
can_drop=0
[[ -w /proc/sys/vm/drop_caches ]] && can_drop=1

seconds_of() { # COMMAND... (stdout to $out): wall seconds of one run
    local start end
    start=$(date +%s.%N)
    "$@" >"$out" 2>/dev/null || true
    end=$(date +%s.%N)
    printf '%.3f' "$(echo "$end - $start" | bc -l)"
}
# Wall time of one run after the page cache was dropped.
cold_time() { # OUT COMMAND...
    out=$1
    shift
    ((can_drop)) || { printf 'n/a'; return; }
    sync
    echo 3 >/proc/sys/vm/drop_caches
    seconds_of "$@"
}
once_time() { # OUT COMMAND...
    out=$1
    shift
    seconds_of "$@"
}
ratio() { [[ $1 == n/a || $2 == n/a ]] && echo n/a || printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
verdict() { # RATIO TARGET
    [[ $1 == n/a ]] && { echo "-"; return; }
    (($(echo "$1 <= $2" | bc -l))) && echo "met" || echo "MISSED"
}

# Prints "NAME SETS FILES" and writes NAME.sets (one sorted line per set of
# device:inode) for each output file given as NAME=FORMAT:PATH.
normalise_sets() {
    python3 - "$@" <<'PY'
import os, sys

def sets_of(fmt, path):
    text = open(path, 'rb').read().split(b'\n')
    groups, cur = [], []
    for line in text:
        if line.startswith(b'Files: '):
            continue
        if not line:
            if cur: groups.append(cur)
            cur = []
            continue
        if fmt == 'ours':
            cols = line.split(b'\t')
            cur.append(cols[1] + cols[0])
        else:
            cur.append(line)
    if cur: groups.append(cur)
    ini = {}
    out = set()
    for group in groups:
        files = set()
        for p in group:
            name = p.rsplit(b'/', 1)[-1]
            folder = p[:len(p) - len(name)]
            if fmt != 'ours':
                if name.lower() in (b'mm256.dat', b'mm2048.dat'): continue
                if b'/SYSBCKUP/' in folder.upper(): continue
                if folder not in ini: ini[folder] = os.path.lexists(folder + b'desktop.ini')
                if ini[folder]: continue
            try:
                st = os.lstat(p)
            except OSError:
                continue
            if not os.path.isfile(p) or os.path.islink(p) or st.st_size == 0: continue
            files.add((st.st_dev, st.st_ino))
        if len(files) >= 2:
            out.add(' '.join('%d:%d' % f for f in sorted(files)))
    return out

for arg in sys.argv[1:]:
    name, rest = arg.split('=', 1)
    fmt, path = rest.split(':', 1)
    s = sets_of(fmt, path)
    with open(path + '.sets', 'w') as f:
        for line in sorted(s): f.write(line + '\n')
    print(name, len(s), sum(len(x.split()) for x in s))
PY
}

bench_tree() { # TREE
    local tree=$1
    if [[ ! -d $tree ]]; then
        "$bin/clarivex-gen-tree" --seed 1 --files 200000 "$tree" >/dev/null ||
            { echo "cannot make $tree" >&2; return 1; }
    fi
    tree=$(cd "$tree" && pwd) || return 1
    rm -rf "$XDG_CACHE_HOME"
    options false false
    local first rescan jd fd rm_ cold_first cold_rescan cold_jd defaults
    first=$(best_time "$work/ours" "$cli" scan duplicates --no-cache --drive "$tree")
    "$cli" scan duplicates --drive "$tree" >/dev/null # fills the cache
    rescan=$(best_time "$work/ours-cached" "$cli" scan duplicates --drive "$tree")
    jd=$(best_time "$work/jdupes" jdupes -r -q "$tree")
    fd=n/a rm_=n/a
    if [[ ${BENCH_PEERS:-1} == 1 ]]; then
        fd=$(once_time "$work/fdupes" fdupes -r -q "$tree")
        # rmlint may take minutes on a busy machine: cut off after RMLINT_LIMIT s.
        rm_=$(cd "$work" && once_time "$work/rmlint.log" timeout "${RMLINT_LIMIT:-90}" \
            rmlint --hidden -T df -o fdupes:"$work/rmlint" "$tree")
        if (($(echo "$rm_ >= ${RMLINT_LIMIT:-90}" | bc -l))); then
            rm_=n/a
            rm -f "$work/rmlint"
        fi
    fi
    cold_first=$(cold_time /dev/null "$cli" scan duplicates --no-cache --drive "$tree")
    cold_jd=$(cold_time /dev/null jdupes -r -q "$tree")
    cold_rescan=$(cold_time /dev/null "$cli" scan duplicates --drive "$tree")
    options true true
    defaults=$(best_time "$work/defaults" "$cli" scan duplicates --no-cache --drive "$tree")

    local checks=("clarivex=ours:$work/ours" "clarivex-rescan=ours:$work/ours-cached"
        "jdupes=peer:$work/jdupes")
    [[ $fd != n/a ]] && checks+=("fdupes=peer:$work/fdupes")
    [[ $rm_ != n/a ]] && checks+=("rmlint=peer:$work/rmlint")
    local counts
    counts=$(normalise_sets "${checks[@]}")

    echo
    echo "tree: $tree, cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg), best of $runs warm"
    printf '%-30s %9s %9s %7s %8s %s\n' "" "clarivex" "jdupes -r" "ratio" "target" ""
    local r
    r=$(ratio "$first" "$jd")
    printf '%-30s %9s %9s %7s %8s %s\n' "first scan, warm" "$first" "$jd" "$r" "<= 0.50" \
        "$(verdict "$r" 0.50)"
    r=$(ratio "$cold_first" "$cold_jd")
    printf '%-30s %9s %9s %7s %8s %s\n' "first scan, cold" "$cold_first" "$cold_jd" "$r" \
        "<= 0.70" "$(verdict "$r" 0.70)"
    r=$(ratio "$rescan" "$jd")
    printf '%-30s %9s %9s %7s %8s %s\n' "cached rescan, warm" "$rescan" "$jd" "$r" "<= 0.15" \
        "$(verdict "$r" 0.15)"
    r=$(ratio "$cold_rescan" "$cold_jd")
    printf '%-30s %9s %9s %7s\n' "cached rescan, cold" "$cold_rescan" "$cold_jd" "$r"
    printf '%-30s %9s %9s %7s\n' "fdupes -r (once, warm)" "$first" "$fd" "$(ratio "$first" "$fd")"
    printf '%-30s %9s %9s %7s\n' "rmlint --hidden (once, warm)" "$first" "$rm_" \
        "$(ratio "$first" "$rm_")"
    printf '%-30s %9s\n' "default options (name, time)" "$defaults"
    ((can_drop)) || echo "cold: not measured (needs root to drop the page cache)"
    echo "sets (files), as device:inode after each tool's files outside the scan's rules are dropped:"
    local bad=0 name sets files
    while read -r name sets files; do
        local same=equal
        if ! cmp -s "${checks[0]#*:}.sets" "$(for c in "${checks[@]}"; do
            [[ ${c%%=*} == "$name" ]] && echo "${c#*:}"; done).sets"; then
            same=DIFFERENT
            bad=1
        fi
        printf '  %-16s %7s sets %8s files  %s\n' "$name" "$sets" "$files" "$same"
    done <<<"$counts"
    tail -n 1 "$work/ours"
    return $bad
}

status=0
for tree in "$@"; do
    bench_tree "${tree%/}" || status=1
done
((status == 0)) || { echo "RESULT: the sets differ"; exit 1; }
