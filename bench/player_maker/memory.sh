#!/usr/bin/env bash
# Peak memory of an embedded (type 1) player by the length of its video: the SWF is written
# while the FLV is read, so a 10-minute video should cost no more memory than a 1-minute one
# (target: the same within 10%). Prints, per length, the generation time, the SWF's size and
# the peak resident memory of the process that made it, then the ratio of the longest to the
# shortest.
# Usage: bench/player_maker/memory.sh [minutes...]   (default: 1 10)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
scripts/lbuild player_maker_bench rm_player_runtime rm_templates >/dev/null
bin=build/bench/player_maker/player_maker_bench
dir=${BENCH_DIR:-build/bench-player-maker}
mkdir -p "$dir"
minutes=("$@")
((${#minutes[@]})) || minutes=(1 10)

printf '%-8s %10s %14s %10s\n' video seconds swf_bytes peak_MB
first=; last=
for m in "${minutes[@]}"; do
  flv=$dir/video-$((m * 60)).flv
  [[ -f $flv ]] || "$bin" make "$flv" $((m * 60))
  read -r secs bytes peak < <("$bin" run "$flv" 1 1 |
    sed -E 's/seconds=([0-9.]+) bytes=([0-9]+) peak_kb=([0-9]+)/\1 \2 \3/')
  printf '%-8s %10.2f %14d %10.1f\n' "${m}min" "$secs" "$bytes" "$(echo "$peak / 1024" | bc -l)"
  [[ -n $first ]] || first=$peak
  last=$peak
done
printf 'peak memory, longest / shortest: %.3f\n' "$(echo "$last / $first" | bc -l)"
