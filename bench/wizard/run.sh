#!/usr/bin/env bash
# How soon the wizard's preview shows the task's own video, on a camera-like source: 60 s of
# 1080p H.264 (16:9, keyframe every 2 s, B-frames) with AAC sound, made here with the ffmpeg tool.
#  - making the preview clip (the first 5 s at the start-up profile's frame size, FLV1 + MP3),
#    REPS times, against the ffmpeg tool doing the same job (same size with bars, same codecs),
#    and how long a clip asked to stop half-way takes to stop (what closing the wizard waits for);
#  - opening the wizard and going to the player page at once, under xvfb-run with the real web
#    view (QtWebEngine + Ruffle): when the loading indication is up, when the clip is ready, when
#    the player's page is asked for and when the emulator has loaded the player with the clip;
#    then the same again in the same session (browser warm, clip kept);
#  - the same when the user stays on the first page until the clip is made and the player is
#    loaded in advance (how long that takes from opening, then the times from entering the player
#    page);
#  - a task without a video (the sample) for the browser's share alone.
# Each opening runs in a process of its own, REPS times (default 3).
# Usage: [REPS=3] bench/wizard/run.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
scripts/lbuild wizard_bench >/dev/null
bin=build/bench/wizard/wizard_bench
work=${BENCH_DIR:-/tmp/reelmaker-bench-wizard}
mkdir -p "$work"
reps=${REPS:-3}
src="$work/camera_1080p_60s.mp4"
if [[ ! -s "$src" ]]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=25:d=60" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60" \
    -c:v libx264 -preset veryfast -crf 23 -g 50 -bf 2 -pix_fmt yuv420p -c:a aac -b:a 128k "$work/part.mp4"
  mv "$work/part.mp4" "$src"
fi
median() { sort -g | awk '{a[NR]=$1} END {if (NR) print (NR % 2 ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2)}'; }
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)  cores: $(nproc)  reps: $reps"

echo "== making the preview clip (ms)"
QT_QPA_PLATFORM=offscreen "$bin" clip "$src" "$reps" | tee "$work/clip.txt" | grep -E '^(frame_size|seconds|clip_median_ms|cancel_wait)'
size=$(sed -n 's/^frame_size //p' "$work/clip.txt"); w=${size%x*}; h=${size#*x}
tool=()
for ((r = 0; r < reps; r++)); do
  s=$( { /usr/bin/time -f %e ffmpeg -nostdin -v error -y -t 5 -i "$src" \
      -vf "scale=$w:-2,pad=$w:$h:(ow-iw)/2:(oh-ih)/2" -r 25 -c:v flv -b:v 800k \
      -c:a libmp3lame -b:a 64k -ar 44100 -ac 2 -f flv "$work/tool.flv" ; } 2>&1 | tail -1)
  tool+=("$(echo "$s * 1000" | bc -l)")
done
printf 'ffmpeg tool, same clip: median_ms %.0f\n' "$(printf '%s\n' "${tool[@]}" | median)"

run() {  # mode [file]: REPS processes, the median of each figure
  local mode=$1; shift
  : >"$work/$mode.txt"
  for ((r = 0; r < reps; r++)); do
    xvfb-run -a -s "-screen 0 1280x1024x24" "$bin" -platform xcb "$mode" "$@" 2>/dev/null >>"$work/$mode.txt" ||
      { echo "$mode: failed" >&2; return 1; }
  done
  for key in $(awk '{print $1}' "$work/$mode.txt" | awk '!seen[$0]++'); do
    printf '  %-28s median %6.0f   (%s)\n' "$key" "$(awk -v k="$key" '$1==k {print $2}' "$work/$mode.txt" | median)" \
      "$(awk -v k="$key" '$1==k {printf "%s ", $2}' "$work/$mode.txt")"
  done
}
echo "== wizard opened, player page at once (ms from opening)"
run open "$src"
echo "== wizard opened, player page once the player is loaded in advance (ms from entering the player page)"
run open-later "$src"
echo "== task without a video: the sample (ms from opening)"
run sample
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
