#!/usr/bin/env bash
# Installs what the build needs, then configures and builds into build/ (or $BUILD_DIR).
# Further arguments go to CMake's configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" cmake make g++ pkg-config libmpg123-dev libebur128-dev libgtest-dev \
    libcli11-dev nlohmann-json3-dev qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
