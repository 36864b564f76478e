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
# -iname does. A name that only find reports counts as such a deliberate
# difference when a second, independent copy of the matcher's rules (in awk,
# below) rejects it too; those are counted and listed. Any other difference
# fails the check.
#
# Targets: mask walk no slower than find (ratio <= 1.0); text search within
# 1.5 x grep.

set -euo pipefail
export LC_ALL=C

source "$(dirname "$0")/bench_common.sh"
bench_setup "$0" "$@"
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

# The matcher's rules, apart from the program: prints the paths of stdin
# (one a line) whose last part no mask of the text matches.
rejected_by_matcher() {
    awk -v masks="$1" '
    function normalised(m) {
        if (m !~ /[*]/ && m !~ /[.]/) return "*" m "*"
        if (m ~ /[*]/ && m !~ /[.]/ && m !~ /[*]$/) return m "*"
        return m
    }
    function matches(name, mask,    p, pending, i, j, n, c, literal, at) {
        if (mask == "*" || mask == "**") return 1
        if (mask !~ /[*?]/) return name == mask
        p = 1; pending = 0; i = 1; n = length(mask)
        while (i <= n) {
            c = substr(mask, i, 1)
            if (c == "*") { pending = 1; i++; continue }
            if (c == "?") { p++; i++; continue }
            for (j = i; j <= n && substr(mask, j, 1) !~ /[*?]/; j++) ;
            literal = substr(mask, i, j - i); i = j
            if (pending) {
                pending = 0
                if (p > length(name) + 1) return 0
                at = index(substr(name, p), literal)
                if (at == 0) return 0
                p += at - 1 + length(literal)
            } else {
                if (substr(name, p, length(literal)) != literal) return 0
                p += length(literal)
            }
        }
        return pending || p == length(name) + 1
    }
    BEGIN {
        text = tolower(masks); gsub(/,/, ";", text)
        if (text !~ /;$/) text = text ";"
        count = split(text, list, ";") - 1 # nothing after the last ";"
        for (k = 1; k <= count; k++) {
            gsub(/^[ \t]+|[ \t]+$/, "", list[k])
            list[k] = normalised(list[k])
        }
    }
    {
        name = tolower($0); sub(/.*\//, "", name)
        for (k = 1; k <= count; k++)
            if (matches(name, list[k])) next
        print
    }'
}

# compare NAME OURS THEIRS MASKS: sorted NUL lists; prints the counts of
# deliberate and unexplained differences and keeps notes on both. MASKS empty:
# no difference is deliberate.
compare() {
    local name=$1 ours=$2 theirs=$3 masks=$4
    sort -z "$ours" >"$ours.s"
    sort -z "$theirs" >"$theirs.s"
    comm -z -23 "$ours.s" "$theirs.s" | tr '\0' '\n' >"$work/only-ours"
    comm -z -13 "$ours.s" "$theirs.s" | tr '\0' '\n' >"$work/only-theirs"
    : >"$work/deliberate"
    if [[ -n $masks ]]; then
        rejected_by_matcher "$masks" <"$work/only-theirs" >"$work/deliberate"
    fi
    local deliberate unexplained
    deliberate=$(wc -l <"$work/deliberate")
    unexplained=$(($(wc -l <"$work/only-ours") + $(wc -l <"$work/only-theirs") - deliberate))
    echo "$deliberate $unexplained"
    if ((deliberate > 0)); then
        {
            echo "  $name: $deliberate names the matcher deliberately leaves out, e.g.:"
            head -5 "$work/deliberate" | sed 's/^/    /'
        } >>"$work/notes"
    fi
    if ((unexplained > 0)); then
        {
            echo "  $name: $unexplained UNEXPLAINED differences:"
            sed 's/^/    only clarivex: /' "$work/only-ours" | head -10
            grep -vxFf "$work/deliberate" "$work/only-theirs" | sed 's/^/    only the other: /' | head -10
        } >>"$work/notes"
    fi
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
    read -r deliberate unexplained < <(compare "$name" "$work/ours" "$work/theirs" "$masks")
    ((unexplained == 0)) || failed=1
    count=$(tr -cd '\0' <"$work/ours" | wc -c)
    printf '%-28s %8s %8s %6.2f %8d %10d\n' "$name" "$ours" "$theirs" \
        "$(echo "$ours / $theirs" | bc -l)" "$count" "$deliberate"
done

echo
printf '%-28s %8s %8s %6s %8s\n' "text" "clarivex" "grep" "ratio" "files"
ours=$(best_time "$work/ours" "$cli" find --null --text "$needle" "$tree")
theirs=$(best_time "$work/theirs" grep -rilFZ -- "$needle" "$tree")
read -r deliberate unexplained < <(compare "text" "$work/ours" "$work/theirs" "")
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
