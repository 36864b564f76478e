#!/usr/bin/env bash
# Builds the readers' fuzz harnesses with clang under ASan/UBSan and runs each
# for SECONDS (default 600). Usage: tests/fuzz/run_fuzz.sh [SECONDS] [READER...]
# Readers: lnk desktop prefs. Findings go to build-fuzz/findings/<reader>/.
# Exits non-zero when a harness crashed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=${CLARIVEX_FUZZ_BUILD:-$source_dir/build-fuzz}
seconds=${1:-600}
shift || true
readers=("$@")
[ ${#readers[@]} -eq 0 ] && readers=(lnk desktop prefs)

if ! command -v clang++ >/dev/null; then
    echo "clang++ is needed (apt-get install clang)" >&2
    exit 2
fi
CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build" -G Ninja \
    -DCLARIVEX_FUZZ=ON -DCLARIVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j2 $(printf 'fuzz_%s ' "${readers[@]}")

# The harness never touches the real home: everything lives in a scratch folder.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
    XDG_CACHE_HOME=$scratch/cache TMPDIR=$scratch
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=0
for reader in "${readers[@]}"; do
    corpus=$build/corpus/$reader
    findings=$build/findings/$reader
    mkdir -p "$corpus" "$findings"
    echo "== fuzz_$reader for ${seconds}s"
    if CLARIVEX_FUZZ_SEEDS=$corpus "$build/tests/fuzz/fuzz_$reader" "$corpus" \
        -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/" -print_final_stats=1 2>"$build/fuzz_$reader.log"; then
        echo "fuzz_$reader: no crash"
    else
        echo "fuzz_$reader: CRASH, see $build/fuzz_$reader.log and $findings" >&2
        failed=1
    fi
    grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$build/fuzz_$reader.log" || true
done
exit $failed
