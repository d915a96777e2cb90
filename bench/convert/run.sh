#!/usr/bin/env bash
# Converts the kinds of source people bring with the project's engine and with the ffmpeg tool at
# identical settings (the default FLV profile: 480x360, 25 fps, FLV1 800 kbit/s, MP3 64 kbit/s
# 44.1 kHz stereo, keyframe every 2 s, the picture chain the engine builds for that source:
# deinterlaced, shaped; a sideways picture is turned upright by the tool's own autorotation, as
# its users get it), and prints per source both wall times, their ratio and
# peak memory, then the median ratio. Each side runs REPS times (default 3), alternating, and the
# best time counts, so that other work on the machine disturbs the comparison as little as
# possible. The sources are made here with the ffmpeg tool, once (kept in BENCH_DIR).
#
# Usage: bench/convert/run.sh [source...]
#   sources: h264_720p hevc10_1080p_rot h264_4k prores_hq_1080p dv_pal_interlaced longgop_480p_10min
#            hdr10_pq_1080p
#   (default: all of them)
# An HDR source is tone-mapped to SDR on both sides by the same filters (zscale + tonemap).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
scripts/lbuild convert_bench >/dev/null
bin=build/bench/convert/convert_bench
work=${BENCH_DIR:-/tmp/reelmaker-bench-convert}
mkdir -p "$work"
all=(h264_720p hevc10_1080p_rot h264_4k prores_hq_1080p dv_pal_interlaced longgop_480p_10min hdr10_pq_1080p)
names=("$@")
((${#names[@]})) || names=("${all[@]}")

tone() { echo "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=$1"; }
# Makes one source; prints its path.
make_source() {
  local name=$1 out
  case $name in
    h264_720p | hevc10_1080p_rot | h264_4k | longgop_480p_10min | hdr10_pq_1080p) out="$work/$name.mp4" ;;
    prores_hq_1080p) out="$work/$name.mov" ;;
    dv_pal_interlaced) out="$work/$name.dv" ;;
    *) echo "unknown source $name" >&2; return 1 ;;
  esac
  if [[ ! -s $out ]]; then
    case $name in
      h264_720p) # a camera or screen recording: 30 s, keyframe every 2 s, B-frames
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25:d=30" $(tone 30) \
          -c:v libx264 -preset veryfast -crf 23 -g 50 -pix_fmt yuv420p -c:a aac -b:a 128k "$out" ;;
      hevc10_1080p_rot) # a phone clip: HEVC Main 10, 30 fps, held upright (turned 90 degrees)
        # (the rotation tag is taken when the streams are copied, not when they are encoded)
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=10" $(tone 10) \
          -c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p10le -tag:v hvc1 \
          -c:a aac -b:a 128k "$work/upright.mp4"
        ffmpeg -v error -y -i "$work/upright.mp4" -c copy -metadata:s:v:0 rotate=90 "$out"
        rm -f "$work/upright.mp4" ;;
      h264_4k) # a 4K camera clip
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=3840x2160:r=25:d=6" $(tone 6) \
          -c:v libx264 -preset veryfast -crf 23 -g 50 -pix_fmt yuv420p -c:a aac -b:a 128k "$out" ;;
      prores_hq_1080p) # an editing master: every frame a keyframe, 4:2:2 10-bit, PCM sound
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=25:d=10" $(tone 10) \
          -c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le -c:a pcm_s16le "$out" ;;
      dv_pal_interlaced) # a tape capture: 50 fields a second, bottom field first, 4:3
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=720x576:r=50:d=30" $(tone 30) \
          -vf "interlace=scan=bff" -c:v dvvideo -pix_fmt yuv420p -aspect 4:3 -c:a pcm_s16le -ac 2 -ar 48000 \
          -f dv "$out" ;;
      hdr10_pq_1080p) # a phone's HDR clip: HEVC Main 10, BT.2020 primaries, PQ (SMPTE ST 2084), 30 fps
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=10" $(tone 10) \
          -vf "zscale=tin=bt709:min=bt709:pin=bt709:rin=tv:t=smpte2084:m=bt2020nc:p=bt2020:r=tv:npl=203,format=yuv420p10le" \
          -c:v libx265 -preset ultrafast -x265-params log-level=error:hdr10=1:colorprim=bt2020:transfer=smpte2084:colormatrix=bt2020nc \
          -color_primaries bt2020 -color_trc smpte2084 -colorspace bt2020nc -tag:v hvc1 -c:a aac -b:a 128k "$out" ;;
      longgop_480p_10min) # a long recording with a keyframe every 10 s
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=854x480:r=25:d=600" $(tone 600) \
          -c:v libx264 -preset superfast -crf 23 -g 250 -keyint_min 250 -sc_threshold 0 -pix_fmt yuv420p \
          -c:a aac -b:a 96k "$out" ;;
    esac
  fi
  echo "$out"
}

peak_kb() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
cpu_s() { awk -F': ' '/User time|System time/ {s+=$2} END {print s}' "$1"; }
wall_s() { awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$1"; }

srcs=()
for n in "${names[@]}"; do srcs+=("$(make_source "$n")"); done

# Other work on the machine changes both sides' times: say how busy it was.
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)  cores: $(nproc)"
# CPU seconds (of the best run) beside the wall times: they move less when other work competes.
# ours_in_s: the same best run as the engine itself timed it, without starting the process and
# loading the libraries (which the program does once, not for each conversion).
printf '%-20s %9s %9s %7s %10s %10s %9s %9s %9s\n' source ours_s ffmpeg_s ratio ours_MB ffmpeg_MB ours_cpu ffmpeg_cpu ours_in_s
ratios=()
for i in "${!names[@]}"; do
  name=${names[$i]} src=${srcs[$i]}
  vf=$("$bin" --print-tool-vf "$src" 480x360 25 2>/dev/null)
  best_e=; best_f=; mem_e=0; mem_f=0
  for ((r = 0; r < ${REPS:-3}; r++)); do
    /usr/bin/time -v "$bin" "$src" "$work/engine.flv" 480x360 25 flv1 800 mp3 64 44100 2 \
      >"$work/engine.out" 2>"$work/engine.time" || { echo "$name: engine failed: $(cat "$work/engine.out")" >&2; exit 1; }
    # The tool turns a sideways picture upright itself, then runs the chain of the upright picture.
    /usr/bin/time -v ffmpeg -v error -y -i "$src" -vf "$vf" -c:v flv -b:v 800k -g 50 \
      -af aresample=44100:async=1 -c:a libmp3lame -b:a 64k -ar 44100 -ac 2 \
      -f flv -flvflags add_keyframe_index "$work/ffmpeg.flv" 2>"$work/ffmpeg.time"
    e=$(wall_s "$work/engine.time"); f=$(wall_s "$work/ffmpeg.time")
    if [[ -z $best_e ]] || (($(echo "$e < $best_e" | bc))); then
      best_e=$e; cpu_e=$(cpu_s "$work/engine.time")
      in_e=$(sed -n 's/^seconds=\([0-9.]*\).*/\1/p' "$work/engine.out")
    fi
    if [[ -z $best_f ]] || (($(echo "$f < $best_f" | bc))); then best_f=$f; cpu_f=$(cpu_s "$work/ffmpeg.time"); fi
    pe=$(peak_kb "$work/engine.time"); pf=$(peak_kb "$work/ffmpeg.time")
    ((pe > mem_e)) && mem_e=$pe
    ((pf > mem_f)) && mem_f=$pf
  done
  ratio=$(echo "$best_e / $best_f" | bc -l)
  ratios+=("$ratio")
  printf '%-20s %9.2f %9.2f %7.2f %10.1f %10.1f %9.2f %9.2f %9.2f\n' "$name" "$best_e" "$best_f" "$ratio" \
    "$(echo "$mem_e / 1024" | bc -l)" "$(echo "$mem_f / 1024" | bc -l)" "$cpu_e" "$cpu_f" "$in_e"
done
printf '%s\n' "${ratios[@]}" | sort -g | awk '{a[NR]=$1} END {
  m = NR % 2 ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2; printf "median ratio %.2f over %d sources\n", m, NR }'
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
