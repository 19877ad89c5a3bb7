#!/usr/bin/env bash
# Runs a command on a private X display (Xvfb) managed by openbox, as a user's desktop
# would be: windows get frames, the window manager places, raises and focuses them.
#   with_window_manager.sh COMMAND [ARGS...]
# Exits 77 (a skip for ctest) with a message when the display or the window manager
# cannot start; otherwise with the command's status. The display and the window manager
# are ended on every exit.
set -uo pipefail
readonly kSkip=77
readonly kStartSeconds=30
# The command is ended well before ctest's own limit, so that the display and the window
# manager are always ended here.
readonly kCommandSeconds="${ZEMBRA_WINDOW_MANAGER_SECONDS:-240}"
readonly kScreen="${ZEMBRA_TEST_SCREEN:-1280x1024x24}"

skip() {
    echo "SKIP: $*" >&2
    exit "$kSkip"
}

for tool in Xvfb openbox xdotool xprop; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/test.sh installs it)"
done

xvfb_pid=""
wm_pid=""
display_file=""
cleanup() {
    [ -n "$display_file" ] && rm -f "$display_file"
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

# Waits until COMMAND succeeds while process PID runs, at most kStartSeconds.
wait_for() {
    local pid=$1
    shift
    for _ in $(seq $((kStartSeconds * 10))); do
        "$@" >/dev/null 2>&1 && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Xvfb picks a free display itself and writes its number on the descriptor given.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 "$kScreen" -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
wait_for "$xvfb_pid" test -s "$display_file" || skip "Xvfb did not start"
export DISPLAY=":$(head -n1 "$display_file")"
wait_for "$xvfb_pid" xdotool getdisplaygeometry || skip "display $DISPLAY does not answer"

openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
wait_for "$wm_pid" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    skip "openbox did not start on $DISPLAY"

export QT_QPA_PLATFORM=xcb
timeout --kill-after=5 "$kCommandSeconds" "$@"
