#!/usr/bin/env bash
# Peak memory of converting sources whose headers promise more than they hold: a 600 s web MP4
# (index in front) cut after 14 MB, as a download that stopped, and an 8 s AVI whose headers
# claim 0x11111111 frames with its index gone. Each is converted whole with the Normal FLV
# settings (480x360, 25 fps, FLV1 800 kbit/s, MP3 64 kbit/s) by the project's engine; prints the
# result code, the wall time and the peak resident memory. Both must end with 10010 (the source
# ends early), well under 300 MB. A safety limit of 4 GB of address space and 300 s keeps a
# regression from taking the machine down.
# Usage: bench/sources/run.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
scripts/lbuild convert_bench >/dev/null
bin=build/bench/convert/convert_bench
work=${BENCH_DIR:-/tmp/reelmaker-bench-sources}
mkdir -p "$work"

whole="$work/web_600s.mp4"
if [[ ! -s "$whole" ]]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=640x360:r=25:d=600" -f lavfi -i "sine=duration=600" \
    -c:v libx264 -preset ultrafast -b:v 1500k -g 50 -pix_fmt yuv420p -c:a aac -b:a 96k \
    -movflags +faststart "$whole"
fi
cut="$work/web_600s_cut14MB.mp4"
head -c $((14 * 1024 * 1024)) "$whole" >"$cut"

plain="$work/plain_8s.avi"
[[ -s "$plain" ]] || ffmpeg -v error -y -f lavfi -i "testsrc2=s=320x240:r=25:d=8" -f lavfi -i "sine=d=8" \
  -c:v mpeg4 -c:a pcm_s16le "$plain"
damaged="$work/claims_days.avi"
python3 - "$plain" "$damaged" <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
i = d.find(b'avih'); struct.pack_into('<I', d, i + 8 + 16, 0x11111111)
j = d.find(b'strh')
while j >= 0:
    scale, rate = struct.unpack_from('<II', d, j + 8 + 20)
    video = d[j + 8:j + 12] == b'vids'
    struct.pack_into('<I', d, j + 8 + 32, 0x11111111 if video else (0x11111111 * rate // max(scale, 1) // 25) & 0xffffffff)
    j = d.find(b'strh', j + 4)
open(sys.argv[2], 'wb').write(d[:d.rfind(b'idx1')])
PY

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)  cores: $(nproc)"
printf '%-28s %12s %8s %10s %10s\n' source declared_s result wall_s peak_MB
for src in "$cut" "$damaged"; do
  declared=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$src")
  set +e
  ( ulimit -v $((4 * 1024 * 1024)); exec timeout 300 /usr/bin/time -v "$bin" "$src" "$work/out.flv" \
      480x360 25 flv1 800 mp3 64 44100 2 ) >"$work/run.out" 2>"$work/run.time"
  set -e
  result=$(sed -n 's/.*result=\([0-9-]*\).*/\1/p' "$work/run.out")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$work/run.time")
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/run.time")
  printf '%-28s %12.0f %8s %10s %10.1f\n' "$(basename "$src")" "$declared" "${result:-killed}" "$wall" \
    "$(echo "${peak:-0} / 1024" | bc -l)"
  [[ -e "$work/out.flv" ]] && echo "  an output was left behind: $work/out.flv"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
