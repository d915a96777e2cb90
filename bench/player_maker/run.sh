#!/usr/bin/env bash
# Player generation: our embedded player (video frames and MP3 onto an SWF timeline, plus the
# runtime and its configuration, compressed) against the ffmpeg tool re-wrapping the same FLV
# into an SWF with its swf muxer (no player, uncompressed); and our progressive player, which
# only reads the FLV's index. Prints the times and the ratio (ours / ffmpeg; below 1 is faster).
# Usage: bench/player_maker/run.sh [SECONDS]   (length of the test video, default 120)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
secs=${1:-120}
scripts/lbuild player_maker_bench rm_player_runtime rm_templates >/dev/null
bin=build/bench/player_maker/player_maker_bench
dir=build/bench-player-maker
mkdir -p "$dir"
flv=$dir/video-$secs.flv
[[ -f $flv ]] || "$bin" make "$flv" "$secs"

now() { date +%s.%N; }
runs=3
t0=$(now)
for ((i = 0; i < runs; i++)); do ffmpeg -v error -y -r 25 -i "$flv" -c copy -f swf "$dir/ffmpeg.swf"; done
t1=$(now)
theirs=$(awk -v a="$t0" -v b="$t1" -v n=$runs 'BEGIN{print (b-a)/n}')
read -r ours1 bytes1 < <("$bin" run "$flv" 1 $runs | sed -E 's/seconds=([0-9.]+) bytes=([0-9]+).*/\1 \2/')
read -r ours2 bytes2 < <("$bin" run "$flv" 2 $runs | sed -E 's/seconds=([0-9.]+) bytes=([0-9]+).*/\1 \2/')

printf 'video: %s s, %d bytes\n' "$secs" "$(stat -c %s "$flv")"
printf 'ffmpeg -c copy -f swf:           %8.3f s   %10d bytes\n' "$theirs" "$(stat -c %s "$dir/ffmpeg.swf")"
printf 'our embedded player (type 1):    %8.3f s   %10d bytes   ratio %.3f\n' "$ours1" "$bytes1" "$(awk -v a="$ours1" -v b="$theirs" 'BEGIN{print a/b}')"
printf 'our progressive player (type 2): %8.3f s   %10d bytes\n' "$ours2" "$bytes2"
