#!/usr/bin/env bash
# Set-up, build, then run every test (unit, window and end-to-end) through CTest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
cd "$here/build"
ctest --output-on-failure -j "${JOBS:-2}" --timeout 900 "$@"
