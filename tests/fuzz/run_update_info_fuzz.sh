#!/usr/bin/env bash
# Builds the update-information fuzz harness with AddressSanitizer and UBSan
# and runs it.   tests/fuzz/run_update_info_fuzz.sh [seconds] [seed]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$here/../../src
out=${FUZZ_BUILD:-$(mktemp -d)}
flags=$(pkg-config --cflags --libs Qt6Core Qt6Network)
g++ -std=c++20 -O1 -g -fPIC -fsanitize=address,undefined -fno-sanitize-recover=undefined \
    -fno-omit-frame-pointer -I"$src" \
    "$here/fuzz_update_info.cpp" "$src/core/utilities/update_info.cpp" \
    "$src/core/utilities/update_release.cpp" "$src/core/utilities/update_transfer.cpp" \
    $flags -o "$out/fuzz_update_info"
"$out/fuzz_update_info" "${1:-60}" ${2:+"$2"}
