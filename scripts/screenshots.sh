#!/usr/bin/env bash
# Builds Zembra, then starts zembra on the bundled sample under Xvfb and writes PNG
# screenshots of the main window, the GOP table and the bitrate graph into docs/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" xvfb xauth
"$root/scripts/build.sh" >/dev/null
build="${BUILD_DIR:-$root/build}"
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/zembra" --screenshots "$root/docs" \
    "$build/sample.mpg"
ls -l "$root/docs"/zembra-*.png
