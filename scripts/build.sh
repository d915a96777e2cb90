#!/usr/bin/env bash
# Configures and builds into build/ (the program folder is build/reelmaker/).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
[[ -f build/build.ninja ]] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "${JOBS:-$(nproc)}" "$@"
