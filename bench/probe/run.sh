#!/usr/bin/env bash
# Probing the fixture set: our probe (in process, and one process per file) against the ffprobe
# tool reading the same files. Prints the times and the ratios (ours / ffprobe; below 1 is faster).
# Usage: bench/probe/run.sh [N]   (N files, default 500; the set is kept in build/bench-probe/)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
n=${1:-500}
scripts/lbuild probe_bench >/dev/null
bin=build/bench/probe/probe_bench
dir=build/bench-probe/files-$n
"$bin" make "$dir" "$n" 2>/dev/null
mapfile -t files < <(find "$dir" -type f | sort)

now() { date +%s.%N; }

ours=$("$bin" run "$dir" | sed -E 's/.*seconds=([0-9.]+).*/\1/')

t0=$(now)
for f in "${files[@]}"; do "$bin" one "$f" >/dev/null 2>&1 || true; done
t1=$(now)
ours_proc=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')

t0=$(now)
for f in "${files[@]}"; do ffprobe -v error -show_format -show_streams "$f" >/dev/null 2>&1 || true; done
t1=$(now)
theirs=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')

printf 'files: %d\n' "${#files[@]}"
printf 'ffprobe tool, one process per file:   %8.3f s\n' "$theirs"
printf 'our probe, in process:                %8.3f s   ratio %.4f\n' "$ours" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN{print a/b}')"
printf 'our probe, one process per file:      %8.3f s   ratio %.4f\n' "$ours_proc" "$(awk -v a="$ours_proc" -v b="$theirs" 'BEGIN{print a/b}')"
