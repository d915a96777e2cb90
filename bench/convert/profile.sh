#!/usr/bin/env bash
# Where a conversion's time goes, per kind of source: the engine converts each source of
# bench/convert/run.sh (made there, kept in BENCH_DIR) under `perf record`, and the CPU time is
# split by pipeline stage (the threads are named after their stage; the decoder's and scaler's
# own threads take their starter's name) and, within a stage, by library:
#   rm-read-decode   demux and decode
#   rm-filter-sound  deinterlace, scale and colour conversion, sound resampling and encoding
#   convert_bench    start-up (loading the libraries), picture encoding, muxing
# followed by the thumbnail step, which reads the video the run wrote.
# Usage: bench/convert/profile.sh [source...]   (needs perf; the sources must have been made)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
scripts/lbuild convert_bench >/dev/null
bin=build/bench/convert/convert_bench
work=${BENCH_DIR:-/tmp/reelmaker-bench-convert}
command -v perf >/dev/null || { echo "perf is not installed: apt-get install linux-perf" >&2; exit 1; }
names=("$@")
((${#names[@]})) || names=(h264_720p hevc10_1080p_rot h264_4k prores_hq_1080p dv_pal_interlaced longgop_480p_10min)
for name in "${names[@]}"; do
  src=$(ls "$work/$name".* 2>/dev/null | grep -v '\.part' | head -1 || true)
  [[ -n $src ]] || { echo "$name: not made yet (bench/convert/run.sh $name makes it)" >&2; continue; }
  perf record -q -e cpu-clock -F 1000 -o "$work/perf.data" \
    "$bin" "$src" "$work/profile.flv" 480x360 25 flv1 800 mp3 64 44100 2 >"$work/profile.out" 2>/dev/null
  echo "== $name ($(sed -n 's/seconds=\([0-9.]*\).*/\1 s in the engine/p' "$work/profile.out"))"
  perf report -q -i "$work/perf.data" --no-children --sort comm,dso --stdio -g none 2>/dev/null |
    awk '$1+0 >= 1.0 {printf "  %-16s %6s  %s\n", $2, $1, $3}'
  thumb=$("$bin" --thumbnail "$work/profile.flv" 480x360 "$work/profile.jpg" 2>/dev/null | sed -n 's/seconds=\([0-9.]*\).*/\1/p')
  echo "  thumbnail step   ${thumb} s"
done
rm -f "$work/perf.data" "$work/perf.data.old"
