#!/usr/bin/env bash
# Converts the same 720p source with the project's engine and with the ffmpeg tool at identical
# settings (the Normal FLV profile: 480x360, 25 fps, FLV1 800 kbit/s, MP3 64 kbit/s 44.1 kHz
# stereo, keyframe every 2 s, same picture chain), and prints wall times, their ratio and peak
# memory. Each side runs REPS times (default 3), alternating, and the best time counts, so that
# other work on the machine disturbs the comparison as little as possible.
# Usage: bench/convert/run.sh [minutes...]   (default: 1 10)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
scripts/lbuild convert_bench >/dev/null
bin=build/bench/convert/convert_bench
work=${BENCH_DIR:-/tmp/reelmaker-bench-convert}
mkdir -p "$work"
minutes=("$@")
((${#minutes[@]})) || minutes=(1 10)

peak_kb() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
wall_s() { awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$1"; }

vf=$("$bin" --print-vf 1280 720 480x360 25)
# Other work on the machine changes both sides' times: say how busy it was.
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)  cores: $(nproc)"
printf '%-8s %10s %10s %8s %12s %12s\n' source engine_s ffmpeg_s ratio engine_MB ffmpeg_MB
for m in "${minutes[@]}"; do
  src="$work/src_${m}min_720p.mp4"
  if [[ ! -s "$src" ]]; then
    ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25:d=$((m * 60))" \
      -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$((m * 60))" \
      -c:v libx264 -preset ultrafast -crf 23 -g 50 -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 "$src"
  fi
  best_e=; best_f=; mem_e=0; mem_f=0
  for ((r = 0; r < ${REPS:-3}; r++)); do
    /usr/bin/time -v "$bin" "$src" "$work/engine.flv" 480x360 25 flv1 800 mp3 64 44100 2 \
      >/dev/null 2>"$work/engine.time"
    /usr/bin/time -v ffmpeg -v error -y -i "$src" -vf "$vf" -c:v flv -b:v 800k -g 50 \
      -af aresample=44100:async=1 -c:a libmp3lame -b:a 64k -ar 44100 -ac 2 \
      -f flv -flvflags add_keyframe_index "$work/ffmpeg.flv" 2>"$work/ffmpeg.time"
    e=$(wall_s "$work/engine.time"); f=$(wall_s "$work/ffmpeg.time")
    [[ -z $best_e ]] || (($(echo "$e < $best_e" | bc))) && best_e=$e
    [[ -z $best_f ]] || (($(echo "$f < $best_f" | bc))) && best_f=$f
    pe=$(peak_kb "$work/engine.time"); pf=$(peak_kb "$work/ffmpeg.time")
    ((pe > mem_e)) && mem_e=$pe
    ((pf > mem_f)) && mem_f=$pf
  done
  printf '%-8s %10.2f %10.2f %8.2f %12.1f %12.1f\n' "${m}min" "$best_e" "$best_f" \
    "$(echo "$best_e / $best_f" | bc -l)" "$(echo "$mem_e / 1024" | bc -l)" "$(echo "$mem_f / 1024" | bc -l)"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

