#!/usr/bin/env bash
# Set-up, build, then start the program (inside a virtual display when there is none).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" "$here/build/reelmaker/reelmaker" "$@"
fi
exec "$here/build/reelmaker/reelmaker" "$@"
