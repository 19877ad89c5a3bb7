#!/usr/bin/env bash
# Builds Zembra and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
