#!/usr/bin/env bash
# Installs whatever is missing on a Debian machine: the build tools and libraries, the tools
# the tests use (ffprobe, Xvfb, Chromium) and the npm packages of the end-to-end tests.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

apt_packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-multimedia-dev libgl-dev
  libavformat-dev libavcodec-dev libavfilter-dev libavutil-dev libswscale-dev libswresample-dev
  ffmpeg libdvdread-dev libpugixml-dev libfontconfig-dev libfreetype-dev zlib1g-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev time bc
  haxe chromium xvfb xauth imagemagick fonts-dejavu-core xdotool libsdl2-dev dbus-x11 dvdauthor
  # Spreading one task list over several workers in the tests.
  parallel
  nodejs npm
  # The installation: icon sizes drawn from the SVG, the Debian package and its checks.
  qt6-svg-dev desktop-file-utils appstream dpkg-dev file
)
missing=()
for p in "${apt_packages[@]}"; do
  # node/npm may come from elsewhere; only ask apt for them when the commands are absent.
  if [[ $p == nodejs ]] && command -v node >/dev/null; then continue; fi
  if [[ $p == npm ]] && command -v npm >/dev/null; then continue; fi
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# npm packages of the end-to-end tests (Ruffle, playwright-core, an SWF parser).
if [[ -f $here/tests/e2e/package.json ]]; then
  if [[ ! -d $here/tests/e2e/node_modules ]] || [[ $here/tests/e2e/package.json -nt $here/tests/e2e/node_modules ]]; then
    (cd "$here/tests/e2e" && if [[ -f package-lock.json ]]; then npm ci --no-audit --no-fund; else npm install --no-audit --no-fund; fi)
    touch "$here/tests/e2e/node_modules"
  fi
fi
