#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR (prefix /usr, as the Debian package
# does) and checks the installed tree:
#   - its file list against expected_files.txt;
#   - the desktop entry, the AppStream metainfo and the manual pages with the
#     desktop's own checkers, and that they name what was installed;
#   - the bash completion of clarivex-cli;
#   - the installed programs, started from the staging folder: clarivex-cli
#     and clarivex find their help and each other there, and the Scheduler's
#     autostart entry names the installed Scheduler.
# usage: check_install.sh BUILD-FOLDER EXPECTED-FILES
set -uo pipefail

build=$1
expected=$2
app_id=io.github.clarivex.Clarivex

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A home of its own: nothing here may reach the real one. No desktop is named,
# so that Qt opens documents with xdg-open, which the test replaces.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_STATE_HOME=$work/home/.local/state XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run TMPDIR=$work
unset XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
unset BROWSER DEFAULT_BROWSER WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

stage=$work/stage
if ! DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi
usr=$(realpath "$stage/usr")

# ---- The file list -----------------------------------------------------------
[ "$(ls -A "$stage")" = usr ] || fail "files installed outside the prefix: $(ls -A "$stage")"
if ! diff -u <(LC_ALL=C sort "$expected") \
    <(cd "$usr" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort) \
    >"$work/files.diff"; then
    cat "$work/files.diff" >&2
    fail "the installed files differ from $expected (- expected, + installed)"
fi
for program in clarivex clarivex-cli clarivex-scheduler; do
    [ -x "$usr/bin/$program" ] || fail "$program is not an executable file in bin/"
done

# ---- The desktop's own checkers ----------------------------------------------
desktop=$usr/share/applications/$app_id.desktop
metainfo=$usr/share/metainfo/$app_id.metainfo.xml
desktop-file-validate "$desktop" >&2 || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" >"$work/as.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/as.log")"
appstreamcli validate-tree --no-net "$usr" >"$work/as-tree.log" 2>&1 ||
    fail "appstreamcli validate-tree: $(cat "$work/as-tree.log")"
for page in "$usr"/share/man/man1/*.1; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man -l $(basename "$page") warns: $warnings"
done

# What the entries name must be what was installed.
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ "$icon" = "$app_id" ] || fail "the desktop entry's icon is '$icon', not $app_id"
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
for exec_line in $(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop"); do
    [ -x "$usr/bin/$exec_line" ] || fail "Exec= names '$exec_line', which is not installed in bin/"
done
grep -q "^Name=Scan Now$" "$desktop" || fail "the desktop entry has no \"Scan Now\" action"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $app_id.desktop"
for size in 16 22 24 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x$size/apps/$app_id.png
    # A PNG's header holds its width and height as 32-bit big-endian numbers.
    dims=$(od --endian=big -An -tu4 -j16 -N8 "$png" 2>/dev/null | tr -s ' ' | sed 's/^ //')
    [ "$dims" = "$size $size" ] || fail "$png is not $size x $size pixels ($dims)"
done

# Every command that clarivex-cli lists is in its manual page, and so are the
# three exit codes.
manual=$(MANWIDTH=200 man -l "$usr/share/man/man1/clarivex-cli.1" 2>/dev/null)
# (One indented line per command: "  clarivex-cli NAME ..." or "  NAME ...".)
commands=$("$usr/bin/clarivex-cli" help | sed -n 's/^ \{1,\}\(clarivex-cli \)\{0,1\}\([a-z]\{1,\}\).*/\2/p' |
    sort -u)
[ -n "$commands" ] || fail "the installed clarivex-cli help lists no command"
for command in $commands; do
    grep -Eq "^ {7}$command( |$)" <<<"$manual" || fail "clarivex-cli.1 does not describe '$command'"
done
exit_status=$(sed -n '/^EXIT STATUS/,/^[A-Z]/p' <<<"$manual")
for code in 0 1 2; do
    grep -Eq "^ {7}$code " <<<"$exit_status" || fail "clarivex-cli.1 does not explain exit code $code"
done

# ---- Bash completion ---------------------------------------------------------
completes() { # expected words line...
    local want=$1
    shift
    local got
    got=$(bash -c 'source /usr/share/bash-completion/bash_completion
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        _clarivex_cli clarivex-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
        _ "$usr/share/bash-completion/completions/clarivex-cli" "$@" 2>&1)
    [ "$got" = "$want" ] || fail "completing '$*' gives '$got', not '$want'"
}
if [ -r /usr/share/bash-completion/bash_completion ]; then
    completes "scan schedule " clarivex-cli sc
    completes "dirs duplicates " clarivex-cli scan d
    completes "--cdrom --clean " clarivex-cli scan shortcuts --c
    completes "date flag number text " clarivex-cli reg get KEY NAME --as ""
else
    fail "bash-completion is not installed (clarivex.sh installs it)"
fi

# ---- The installed programs --------------------------------------------------
# clarivex-cli: its help, and the main program beside it recorded as
# "ClarivexPath" when it loads the settings.
"$usr/bin/clarivex-cli" help >"$work/cli-help.txt" 2>&1 || fail "clarivex-cli help failed"
mkdir -p "$work/empty"
"$usr/bin/clarivex-cli" scan temp --drive "$work/empty" >/dev/null 2>"$work/cli.err" ||
    fail "clarivex-cli scan temp failed: $(cat "$work/cli.err")"
root='HKCU\Software\Marlowtek\Clarivex 2000'
recorded=$("$usr/bin/clarivex-cli" reg get "$root" ClarivexPath 2>&1)
[ "$recorded" = "$usr/bin/clarivex" ] ||
    fail "clarivex-cli records ClarivexPath '$recorded', not $usr/bin/clarivex"

# clarivex on a virtual display (the offscreen platform takes no key presses,
# whatever the suite's environment says): F1 opens the installed help with xdg-open
# (replaced by one that writes down what it was asked to open); closed through
# its File menu, it records its own path and writes the autostart entry of the
# Scheduler beside it.
"$usr/bin/clarivex-cli" reg set "$root\\Settings\\Options" RunAtStartup --flag true ||
    fail "cannot turn the Scheduler's start at log-on on"
# Scans not scheduled: closing asks nothing about a Scheduler.
"$usr/bin/clarivex-cli" reg set "$root\\Settings\\Schedule" ScheduleScans --flag false ||
    fail "cannot turn scheduled scans off"
mkdir -p "$work/fake-bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$work/opened" >"$work/fake-bin/xdg-open"
chmod +x "$work/fake-bin/xdg-open"
# A browser for web pages, so that the help goes to it (the window shows the
# help itself where the desktop has none).
mkdir -p "$XDG_DATA_HOME/applications"
printf '[Desktop Entry]\nType=Application\nName=Browser\nExec=%s %%u\nMimeType=text/html;\n' \
    "$work/fake-bin/xdg-open" >"$XDG_DATA_HOME/applications/fake-browser.desktop"

wait_for() { # tenths-of-a-second command...
    local tries=$1
    shift
    for ((i = 0; i < tries; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
if ! wait_for 100 test -s "$work/display"; then
    fail "Xvfb did not start"
else
    export DISPLAY=:$(head -n1 "$work/display")
    PATH="$work/fake-bin:$PATH" QT_QPA_PLATFORM=xcb "$usr/bin/clarivex" /NOSPLASH >"$work/clarivex.log" 2>&1 &
    clarivex_pid=$!
    pids+=("$clarivex_pid")
    window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Clarivex 2000' 2>/dev/null |
        head -n1)
    if [ -z "$window" ]; then
        fail "the installed clarivex showed no window: $(cat "$work/clarivex.log")"
    else
        timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
        xdotool key F1
        wait_for 100 test -s "$work/opened" || fail "F1 opened nothing"
        opened=$(cat "$work/opened" 2>/dev/null)
        [ "$opened" = "file://$usr/share/clarivex/help/index.html" ] ||
            fail "clarivex opened '$opened', not its installed help"
        xdotool key alt+f c
        wait_for 100 sh -c "! kill -0 $clarivex_pid 2>/dev/null" ||
            fail "clarivex did not end through File > Close"
        recorded=$("$usr/bin/clarivex-cli" reg get "$root" ClarivexPath 2>&1)
        [ "$recorded" = "$usr/bin/clarivex" ] ||
            fail "clarivex records ClarivexPath '$recorded', not $usr/bin/clarivex"
        autostart=$XDG_CONFIG_HOME/autostart/clarivex-scheduler.desktop
        grep -qxF "Exec=\"$usr/bin/clarivex-scheduler\"" "$autostart" 2>/dev/null ||
            fail "the autostart entry does not start $usr/bin/clarivex-scheduler: $(cat "$autostart" 2>&1)"
    fi
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed tree checked"
