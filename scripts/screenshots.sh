#!/usr/bin/env bash
# Builds Zembra, then starts zembra on the bundled sample under Xvfb and writes PNG
# screenshots into docs/: the main window, the GOP table and the bitrate graph; the main
# window at its smallest size and at 1100x800; the two graph windows made tall; and the
# three windows again at twice the scale, as on a high-density screen.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" xvfb xauth
"$root/scripts/build.sh" >/dev/null
build="${BUILD_DIR:-$root/build}"
for scale in 1 2; do
    QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 2560x2048x24" "$build/zembra" \
        --screenshots "$root/docs" "$build/sample.mpg"
done
ls -l "$root/docs"/zembra-*.png
