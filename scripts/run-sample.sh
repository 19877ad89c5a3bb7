#!/usr/bin/env bash
# Builds Zembra and checks the bundled sample against the bundled profile.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" >/dev/null
build="${BUILD_DIR:-$root/build}"
exec "$build/zembra-cli" "$build/sample.mpg" "$@"
