#!/usr/bin/env bash
# check_package.sh BUILD_DIR VERSION: builds the Debian package of BUILD_DIR into a temporary
# folder and checks it as a user would meet it. Exit 77 (skip) when a tool is missing.
set -euo pipefail
build=$1
version=$2
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli ffmpeg; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
id=com.orvane.Reelmaker

# The package, built from this build's install rules.
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack -G DEB failed"
fi
debs=("$work"/deb/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}

# Its contents: the normal prefix layout under /usr.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#' >"$work/contents"
expected=(
  /usr/bin/reelmaker /usr/bin/reelmaker-cli
  /usr/share/applications/$id.desktop
  /usr/share/metainfo/$id.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/$id.svg
  /usr/share/reelmaker/Default.bmp /usr/share/reelmaker/bj.bmp /usr/share/reelmaker/Editbj.bmp
  /usr/share/reelmaker/Default@2x.png
  /usr/share/reelmaker/Images/DefaultImage.xml /usr/share/reelmaker/Images/Sunset.xml
  /usr/share/reelmaker/Images/DefaultImage/main/addFile.bmp
  /usr/share/reelmaker/Images/DefaultImage/main/addFile@2x.png
  /usr/share/reelmaker/templates/AC_RunActiveContent.js
  /usr/share/reelmaker/profile/
)
for size in 16 24 32 48 64 128 256; do
  expected+=(/usr/share/icons/hicolor/${size}x${size}/apps/$id.png)
done
for f in "${expected[@]}"; do
  grep -qxF "$f" "$work/contents" || fail "the package lacks $f"
done
if grep -vE '^/usr/' "$work/contents" | grep -vxF '/' | grep -q .; then
  fail "files outside /usr: $(grep -vE '^/usr/' "$work/contents" | grep -vxF '/' | head -3)"
fi
if grep -qE '^/usr/share/reelmaker/(reelmaker|reelmaker-cli|temp/)' "$work/contents"; then
  fail "the data folder holds executables or per-run files"
fi

# Dependencies come from the linked libraries (dpkg-shlibdeps).
depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libqt6core6 libqt6widgets6 libavcodec libavformat libswscale libpugixml; do
  grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version is not $version"

# Unpacked into a temporary root.
root=$work/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=reelmaker %F' "$root/usr/share/applications/$id.desktop" || fail "Exec line"
grep -qE '^MimeType=(.*;)?video/mp4;' "$root/usr/share/applications/$id.desktop" || fail "video MIME types"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -q '<caption>' "$root/usr/share/metainfo/$id.metainfo.xml" || fail "screenshot caption"
for size in 16 48 256; do
  info=$(file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
  grep -q "PNG image data, $size x $size" <<<"$info" || fail "icon $size: $info"
done

# The programs run from there and find their data in share/reelmaker.
cli=$root/usr/bin/reelmaker-cli
out=$("$cli" --version)
[[ $out == "reelmaker-cli $version" ]] || fail "--version printed '$out'"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"
"$cli" profiles >"$work/profiles" || fail "profiles"
grep -q 'Flash Video' "$work/profiles" || fail "no profiles read from the installed data"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=15 -f lavfi -i sine=frequency=440 -t 1 \
  -c:v mpeg4 -c:a aac -shortest "$work/clip.mp4"
"$cli" convert --output "$work/out" "$work/clip.mp4" >"$work/convert.log" 2>&1 || { cat "$work/convert.log"; fail "convert"; }
for ext in flv swf html jpg; do
  ls "$work"/out/*/*."$ext" >/dev/null 2>&1 || { cat "$work/convert.log"; fail "no .$ext written by the installed program"; }
done
ls "$work"/out/*/AC_RunActiveContent.js >/dev/null 2>&1 || fail "the page's script was not copied from the installed templates"
echo "package $(basename "$deb"): contents, dependencies, desktop entry, metadata and programs checked"
