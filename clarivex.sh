#!/usr/bin/env bash
# Set-up, build, run and test in one place.
#   ./clarivex.sh run        install what is missing, build, start clarivex
#   ./clarivex.sh test       install what is missing, build, run the whole suite
#   ./clarivex.sh sanitize   the same suite built with AddressSanitizer and UBSan
#   ./clarivex.sh build      install what is missing and build only
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ cmake ninja-build pkg-config openssl python3 qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev
          libsqlite3-dev libzip-dev zlib1g-dev libdeflate-dev libcanberra-dev libxxhash-dev
          shared-mime-info poppler-utils
          hicolor-icon-theme adwaita-icon-theme fonts-dejavu-core xvfb xauth
          desktop-file-utils appstream man-db groff-base bash-completion xdotool dpkg-dev file
          xfsprogs btrfs-progs)

install_missing() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

build() { # build-folder [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

run_suite() { # build-folder
    # Tests get a home of their own; nothing may reach the real one.
    local home
    home=$(mktemp -d)
    trap 'rm -rf "$home"' RETURN
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_STATE_HOME="$home/.local/state" XDG_CACHE_HOME="$home/.cache" \
        XDG_RUNTIME_DIR="$home/run" TMPDIR="$home" QT_QPA_PLATFORM=offscreen \
        ctest --test-dir "$1" --output-on-failure -j "$(nproc)"
}

case "${1:-run}" in
run)
    install_missing
    build build
    shift || true
    exec build/bin/clarivex "$@"
    ;;
build)
    install_missing
    build build
    ;;
test)
    install_missing
    build build
    run_suite build
    ;;
sanitize)
    install_missing
    build build-asan -DCLARIVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        run_suite build-asan
    ;;
*)
    echo "usage: $0 [run|test|sanitize|build]" >&2
    exit 2
    ;;
esac
