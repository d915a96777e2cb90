#!/usr/bin/env bash
# Where a conversion's time goes, per kind of source: the engine converts each source of
# bench/convert/run.sh (made there, kept in BENCH_DIR) under `perf record`, and shows
#
# 1. the CPU time split by pipeline stage (the threads are named after their stage; the decoder's
#    and scaler's own threads take their starter's name) and, within a stage, by library:
#      rm-read-decode   demux and decode
#      rm-filter-sound  deinterlace, scale and colour conversion, sound resampling and encoding
#      convert_bench    start-up (loading the libraries, probing), picture encoding, muxing
# 2. the timeline of the run: for each slice of SLICE_MS (default 100 ms), how many cores each
#    stage kept busy, with a bar (10 characters a core), and how long the run kept fewer than
#    1.5 cores busy before the pipeline filled and after it drained (start-up and end);
# 3. the thumbnail step, which reads the video the run wrote.
#
# Without a usable `perf` the timeline is sampled from /proc/<pid>/task/*/stat instead (coarser:
# the kernel counts CPU time in ticks of 10 ms, and the last moments of a thread that ends are
# lost), and there is no split by library. PROFILE=proc chooses that way even where perf works.
#
# Usage: [LENGTH=short|<seconds>] [SLICE_MS=100] [PROFILE=perf|proc] bench/convert/profile.sh [source...]
#   LENGTH: which clip of each source (as in run.sh's LENGTHS; default short). The sources must
#   have been made by bench/convert/run.sh at that length.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
slice_ms=${SLICE_MS:-100}
length=${LENGTH:-short}
[[ $slice_ms =~ ^[1-9][0-9]*$ ]] || { echo "SLICE_MS must be a number of milliseconds" >&2; exit 2; }
[[ $length == short || $length =~ ^[1-9][0-9]*$ ]] || { echo "LENGTH: \"short\" or a number of seconds" >&2; exit 2; }
scripts/lbuild convert_bench >/dev/null
bin=build/bench/convert/convert_bench
work=${BENCH_DIR:-/tmp/reelmaker-bench-convert}
mkdir -p "$work"
names=("$@")
((${#names[@]})) || names=(h264_720p hevc10_1080p_rot h264_4k prores_hq_1080p dv_pal_interlaced longgop_480p_10min hdr10_pq_1080p)
args=("$work/profile.flv" 480x360 25 flv1 800 mp3 64 44100 2)

mode=${PROFILE:-}
if [[ -z $mode ]]; then
  mode=proc
  if command -v perf >/dev/null &&
    perf record -q -e cpu-clock -F 1000 -o "$work/perf.check" true >/dev/null 2>&1; then mode=perf; fi
  rm -f "$work/perf.check"
fi
[[ $mode == perf || $mode == proc ]] || { echo "PROFILE: perf or proc" >&2; exit 2; }
[[ $mode == perf ]] || echo "(no perf here: the timeline is sampled from /proc, without the split by library)"

# The timeline from lines "<seconds since the start> <thread name> <CPU milliseconds>".
timeline() {
  awk -v slice="$slice_ms" '
    {
      s = int($1 * 1000 / slice); if (s < 0) s = 0
      busy[s, $2] += $3; total[$2] += $3; if (s > last) last = s
    }
    END {
      # Stages by CPU time, the busiest first; past the fifth they are added up as "other".
      n = 0
      for (c in total) names[++n] = c
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
        if (total[names[j]] > total[names[i]]) { t = names[i]; names[i] = names[j]; names[j] = t }
      cols = n > 5 ? 5 : n
      split("# = + : -", sym, " "); sym[6] = "."
      legend = ""
      for (i = 1; i <= cols; i++) legend = legend sprintf("  %s %s", sym[i], names[i])
      if (n > cols) legend = legend sprintf("  %s other", sym[6])
      printf "  cores busy per %d ms slice (bar: 10 characters a core)%s\n", slice, legend
      printf "  %7s", "t_s"
      for (i = 1; i <= cols; i++) printf " %15s", substr(names[i], 1, 15)
      if (n > cols) printf " %15s", "other"
      printf " %6s\n", "cores"
      first = -1; lastfull = -1
      for (s = 0; s <= last; s++) {
        printf "  %7.1f", s * slice / 1000
        sum = 0; bar = ""; shown = 0
        for (i = 1; i <= n; i++) {
          c = busy[s, names[i]] / slice; sum += c
          k = i <= cols ? i : 6
          if (i <= cols) printf " %15.2f", c
          else other += c
          # Each stage gets as many characters as the running total reaches, so rounding never
          # adds up to more than the total.
          want = int(sum * 10 + 0.5)
          while (shown < want) { bar = bar sym[k]; shown++ }
        }
        if (n > cols) { printf " %15.2f", other; other = 0 }
        printf " %6.2f  %s\n", sum, bar
        if (sum >= 1.5) { if (first < 0) first = s; lastfull = s }
        all += sum
      }
      run = (last + 1) * slice / 1000
      printf "  %.2f cores busy on average over %.1f s\n", all / (last + 1), run
      if (first < 0)
        printf "  under 1.5 cores busy in every slice, over %.1f s\n", run
      else
        printf "  under 1.5 cores busy: %.1f s at the start, %.1f s at the end, of %.1f s\n",
          first * slice / 1000, (last - lastfull) * slice / 1000, run
    }'
}

# The conversion sampled from /proc: each thread's CPU ticks, read every 20 ms; prints the
# timeline lines.
proc_samples() {
  local hz t0 now line rest f
  hz=$(getconf CLK_TCK)
  "$bin" "$src" "${args[@]}" >"$work/profile.out" 2>/dev/null &
  local pid=$!
  t0=$EPOCHREALTIME
  {
    while { read -r line <"/proc/$pid/stat"; } 2>/dev/null && [[ $line != *") Z "* ]]; do
      now=$EPOCHREALTIME
      for f in /proc/$pid/task/*/stat; do
        { read -r line <"$f"; } 2>/dev/null || continue
        rest=${line##*) }
        read -ra fields <<<"$rest"
        # after the name: state is the 3rd field of the line, utime the 14th, stime the 15th
        tid=${line%% *} comm=${line#*(} comm=${comm%)*}
        echo "$now $tid ${comm// /_} $((fields[11] + fields[12]))"
      done
      sleep 0.02
    done
  } | awk -v t0="$t0" -v hz="$hz" '
    { t = $1 - t0; d = $4 - (($2) in seen ? seen[$2] : 0); seen[$2] = $4
      if (d > 0) printf "%.3f %s %.1f\n", t, $3, d * 1000 / hz }'
  wait "$pid"
}

for name in "${names[@]}"; do
  if [[ $length == short ]]; then base=$name; else base=${name}_${length}s; fi
  src=$(ls "$work/$base".* 2>/dev/null | grep -v '\.part\.' | head -1 || true)
  [[ -n $src ]] || { echo "$base: not made yet (LENGTHS=$length bench/convert/run.sh $name makes it)" >&2; continue; }
  if [[ $mode == perf ]]; then
    perf record -q -e cpu-clock -F 1000 -o "$work/perf.data" "$bin" "$src" "${args[@]}" >"$work/profile.out" 2>/dev/null
    echo "== $base ($(sed -n 's/seconds=\([0-9.]*\).*/\1 s in the engine/p' "$work/profile.out"))"
    perf report -q -i "$work/perf.data" --no-children --sort comm,dso --stdio -g none 2>/dev/null |
      awk '$1+0 >= 1.0 {printf "  %-16s %6s  %s\n", $2, $1, $3}'
    # Each sample stands for its period (nanoseconds) of CPU time of its thread.
    perf script -i "$work/perf.data" -F comm,tid,time,period 2>/dev/null |
      awk '{ t = $(NF-1); sub(":", "", t); comm = $1; for (i = 2; i <= NF - 3; i++) comm = comm "_" $i
             if (t0 == "") t0 = t
             printf "%.4f %s %.3f\n", t - t0, comm, $NF / 1e6 }' | timeline
  else
    lines=$(proc_samples)
    echo "== $base ($(sed -n 's/seconds=\([0-9.]*\).*/\1 s in the engine/p' "$work/profile.out"))"
    timeline <<<"$lines"
  fi
  thumb=$("$bin" --thumbnail "$work/profile.flv" 480x360 "$work/profile.jpg" 2>/dev/null | sed -n 's/seconds=\([0-9.]*\).*/\1/p')
  echo "  thumbnail step   ${thumb} s"
done
rm -f "$work/perf.data" "$work/perf.data.old"
