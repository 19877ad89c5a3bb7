#!/usr/bin/env bash
# Builds Zembra and runs every test. With --sanitize: in build-sanitize/, with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" = "--sanitize" ]; then
    export BUILD_DIR="${BUILD_DIR:-$root/build-sanitize}"
    "$root/scripts/build.sh" -DZEMBRA_SANITIZE=ON
else
    "$root/scripts/build.sh"
fi
build="${BUILD_DIR:-$root/build}"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
