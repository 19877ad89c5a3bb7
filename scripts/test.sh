#!/usr/bin/env bash
# Builds Zembra and runs every test. With --sanitize: in build-sanitize/, with
# AddressSanitizer and UndefinedBehaviorSanitizer. With --tsan: in build-tsan/, with
# ThreadSanitizer, without the desktop application (Qt is not built with it, so its
# own threads would be reported).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# The tests of numbers under a comma locale need de_DE.UTF-8, which a fresh Debian has not
# generated; without it they are skipped with a message. The JSON outputs of the tests are
# validated against their schema with python3-jsonschema.
"$root/scripts/install-deps.sh" locales python3 python3-jsonschema
if ! locale -a | grep -ix 'de_DE\.utf-\?8' >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
        echo "Note: de_DE.UTF-8 cannot be made; the comma-locale tests will be skipped."
fi
# Tests encode EBU test signals and spots to a standard with ffmpeg at test time.
"$root/scripts/install-deps.sh" ffmpeg
# The desktop windows are also tested under a window manager (openbox) on a private X
# display (Xvfb), driven by xdotool and read back with xprop and xwininfo.
"$root/scripts/install-deps.sh" xvfb xauth openbox xdotool x11-utils
if [ "${1:-}" = "--sanitize" ]; then
    export BUILD_DIR="${BUILD_DIR:-$root/build-sanitize}"
    "$root/scripts/build.sh" -DZEMBRA_SANITIZE=ON
elif [ "${1:-}" = "--tsan" ]; then
    export BUILD_DIR="${BUILD_DIR:-$root/build-tsan}"
    # A race report fails the test that shows it.
    export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1}"
    "$root/scripts/build.sh" -DZEMBRA_TSAN=ON -DZEMBRA_BUILD_GUI=OFF
else
    "$root/scripts/build.sh"
fi
build="${BUILD_DIR:-$root/build}"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
# Once more in a single process, in a shuffled order: a test that passes only in a process
# of its own hides state that leaks from one run or stream into the next.
echo "All analysis tests in one process, shuffled:"
"$build/tests/zembra_tests" --gtest_shuffle --gtest_brief=1
