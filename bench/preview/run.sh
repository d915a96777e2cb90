#!/usr/bin/env bash
# Preview engine against the ffmpeg/ffplay tools on a 30 s 720p H.264 source with long GOPs
# (a keyframe every 10 s), with sound:
#  - seek latency: the engine shows the exact frame at N pseudo-random seconds (median, p90);
#    ffplay cannot be driven to seek from a script, so the tool side is `ffmpeg -ss T -frames:v 1`,
#    which does the same keyframe-then-decode-forward work (its process start is measured at T=0
#    and taken off);
#  - scrubbing: a position bar dragged in 6 moves to each of N/2 places, then released: the
#    time until a picture near each move is shown (a keyframe at or before it) and the time
#    until the exact frame is shown after the release (median, p90);
#  - playing 10 s with the old-film effect: frames shown and dropped, CPU seconds per wall
#    second, for the engine in one pane and in two panes, and for ffplay (one picture, -an, under
#    xvfb-run, its fd= drop counter and /usr/bin/time).
# Usage: bench/preview/run.sh [seeks]   (default 25)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
scripts/lbuild preview_bench >/dev/null
bin=build/bench/preview/preview_bench
work=${BENCH_DIR:-/tmp/reelmaker-bench}
mkdir -p "$work"
seeks=${1:-25}
src="$work/preview_720p_gop250.mp4"
if [[ ! -s "$src" ]]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25:d=30" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=30" \
    -c:v libx264 -preset veryfast -g 250 -keyint_min 250 -sc_threshold 0 -bf 2 -pix_fmt yuv420p \
    -c:a aac -b:a 128k "$src"
fi

echo "== seek latency (ms), $seeks seeks, 720p H.264, keyframe every 10 s"
"$bin" seek "$src" "$seeks" >"$work/seek.txt"
grep -E '^seek_(median|p90|max)' "$work/seek.txt" | sed 's/^/engine /'
base=$( { /usr/bin/time -f %e ffmpeg -nostdin -v error -ss 0 -i "$src" -frames:v 1 -f null - ; } 2>&1 | tail -1)
tool=()
while read -r _ t _; do
  s=$( { /usr/bin/time -f %e ffmpeg -nostdin -v error -ss "$t" -i "$src" -an -frames:v 1 -f null - ; } 2>&1 | tail -1)
  tool+=("$(echo "($s - $base) * 1000" | bc -l)")
done < <(grep '^seek_ms' "$work/seek.txt")
printf '%s\n' "${tool[@]}" | sort -n | awk -v b="$base" '{a[NR]=$1} END {
  printf "ffmpeg -ss seek_median_ms %.1f\nffmpeg -ss seek_p90_ms %.1f\nffmpeg process start at T=0 (taken off): %.0f ms\n",
         a[int(NR/2)+1], a[int(NR*0.9)+ (NR*0.9==int(NR*0.9)?0:1)], b*1000 }'

echo "== scrubbing (ms), $((seeks / 2)) drags of 6 moves, 720p H.264, keyframe every 10 s"
"$bin" scrub "$src" $((seeks / 2)) | grep -E '^(drag|release)_' | sed 's/^/engine /'

echo "== playing 10 s of 720p with the old-film effect"
for run in "1 640x360" "2 1280x360"; do
  set -- $run
  echo "engine, $1 pane(s) in $2:"
  "$bin" play "$src" 10 3 "$1" "$2" 2>/dev/null | sed 's/^/  /'
done
chain=$("$bin" chain 1280 720 3)
if command -v xvfb-run >/dev/null && command -v ffplay >/dev/null; then
  echo "ffplay, one picture in 640x360 (-an, same chain):"
  xvfb-run -a -s "-screen 0 1280x800x24" /usr/bin/time -f "time %e %U %S" \
    ffplay -hide_banner -autoexit -an -t 10 -x 640 -y 360 -vf "$chain" "$src" 2>"$work/ffplay.txt" >/dev/null || true
  tr '\r' '\n' <"$work/ffplay.txt" | grep -E 'fd=' | tail -1 | sed 's/^/  last status: /'
  tr '\r' '\n' <"$work/ffplay.txt" | awk '/^time / {printf "  wall_s %.2f\n  cpu_per_wall %.2f\n", $2, ($3+$4)/$2}'
fi
