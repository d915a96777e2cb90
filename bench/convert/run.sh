#!/usr/bin/env bash
# Converts the kinds of source people bring with the project's engine and with the ffmpeg tool at
# identical settings (the default FLV profile: 480x360, 25 fps, FLV1 800 kbit/s, MP3 64 kbit/s
# 44.1 kHz stereo, keyframe every 2 s, the picture chain the engine builds for that source:
# deinterlaced, shaped, an HDR picture tone-mapped to SDR by the same filters (zscale + tonemap);
# a sideways picture is turned upright by the tool's own autorotation, as its users get it).
#
# Each source is converted at each length of LENGTHS: "short" is the clip as it is usually
# brought (a few seconds to 30 s; the long-GOP recording is 10 minutes), a number is a clip of
# that many seconds of the same content (default "short 60"). Start-up (loading, probing, filling
# the pipeline) and the serial end weigh heavily on the short clips and little on the 60 s ones,
# so the two show start-up and steady state apart.
#
# Printed per length and source, for both sides: wall seconds, the wall ratio (ours / tool), CPU
# seconds (user + system), cores used (CPU s / wall s, of 2 here), peak memory, and the picture's
# SSIM and PSNR against a high-quality reference for ours and for the one-step chain; then the median
# ratio per length, and at the end each source's ratio at every length side by side.
# Each side runs REPS times (default 3), alternating, and the best time counts, so that other
# work on the machine disturbs the comparison as little as possible. The sources are made here
# with the ffmpeg tool, once per length (kept in BENCH_DIR).
#
# Usage: [LENGTHS="short 60"] [REPS=3] bench/convert/run.sh [source...]
#   sources: h264_720p hevc10_1080p_rot h264_4k prores_hq_1080p dv_pal_interlaced longgop_480p_10min
#            hdr10_pq_1080p
#   (default: all of them)
#   A quick run: LENGTHS=short REPS=1 bench/convert/run.sh h264_720p
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
all=(h264_720p hevc10_1080p_rot h264_4k prores_hq_1080p dv_pal_interlaced longgop_480p_10min hdr10_pq_1080p)
names=("$@")
((${#names[@]})) || names=("${all[@]}")
read -ra lengths <<<"${LENGTHS:-short 60}"
((${#lengths[@]})) || { echo "LENGTHS is empty (e.g. LENGTHS=\"short 60\")" >&2; exit 2; }
for len in "${lengths[@]}"; do
  [[ $len == short || $len =~ ^[1-9][0-9]*$ ]] ||
    { echo "unknown length '$len' in LENGTHS: \"short\" or a number of seconds" >&2; exit 2; }
done
for name in "${names[@]}"; do
  [[ " ${all[*]} " == *" $name "* ]] || { echo "unknown source $name (known: ${all[*]})" >&2; exit 2; }
done
scripts/lbuild convert_bench >/dev/null
bin=build/bench/convert/convert_bench
work=${BENCH_DIR:-/tmp/reelmaker-bench-convert}
mkdir -p "$work"

# The length of each source's usual clip, in seconds.
declare -A short_s=([h264_720p]=30 [hevc10_1080p_rot]=10 [h264_4k]=6 [prores_hq_1080p]=10
  [dv_pal_interlaced]=30 [longgop_480p_10min]=600 [hdr10_pq_1080p]=10)

tone() { echo "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=$1"; }
# The seconds of a source at a length of LENGTHS.
clip_seconds() { if [[ $2 == short ]]; then echo "${short_s[$1]}"; else echo "$2"; fi; }
# Makes one source of the given length (seconds) unless it is there already; prints its path.
# The usual clip keeps its plain name, other lengths carry theirs (h264_720p_60s.mp4). A clip is
# written under a temporary name first, so that an interrupted run leaves no half a source behind.
make_source() {
  local name=$1 d=$2 ext base out part
  case $name in
    prores_hq_1080p) ext=mov ;;
    dv_pal_interlaced) ext=dv ;;
    *) ext=mp4 ;;
  esac
  base=$name
  ((d == ${short_s[$name]})) || base=${name}_${d}s
  out="$work/$base.$ext" part="$work/$base.part.$ext"
  if [[ ! -s $out ]]; then
    echo "making $base.$ext ($d s) ..." >&2
    case $name in
      h264_720p) # a camera or screen recording: keyframe every 2 s, B-frames
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25:d=$d" $(tone "$d") \
          -c:v libx264 -preset veryfast -crf 23 -g 50 -pix_fmt yuv420p -c:a aac -b:a 128k "$part" ;;
      hevc10_1080p_rot) # a phone clip: HEVC Main 10, 30 fps, held upright (turned 90 degrees)
        # (the rotation tag is taken when the streams are copied, not when they are encoded)
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=$d" $(tone "$d") \
          -c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p10le -tag:v hvc1 \
          -c:a aac -b:a 128k "$work/upright.mp4"
        ffmpeg -v error -y -i "$work/upright.mp4" -c copy -metadata:s:v:0 rotate=90 "$part"
        rm -f "$work/upright.mp4" ;;
      h264_4k) # a 4K camera clip
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=3840x2160:r=25:d=$d" $(tone "$d") \
          -c:v libx264 -preset veryfast -crf 23 -g 50 -pix_fmt yuv420p -c:a aac -b:a 128k "$part" ;;
      prores_hq_1080p) # an editing master: every frame a keyframe, 4:2:2 10-bit, PCM sound
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=25:d=$d" $(tone "$d") \
          -c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le -c:a pcm_s16le "$part" ;;
      dv_pal_interlaced) # a tape capture: 50 fields a second, bottom field first, 4:3
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=720x576:r=50:d=$d" $(tone "$d") \
          -vf "interlace=scan=bff" -c:v dvvideo -pix_fmt yuv420p -aspect 4:3 -c:a pcm_s16le -ac 2 -ar 48000 \
          -f dv "$part" ;;
      hdr10_pq_1080p) # a phone's HDR clip: HEVC Main 10, BT.2020 primaries, PQ (SMPTE ST 2084), 30 fps
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=$d" $(tone "$d") \
          -vf "zscale=tin=bt709:min=bt709:pin=bt709:rin=tv:t=smpte2084:m=bt2020nc:p=bt2020:r=tv:npl=203,format=yuv420p10le" \
          -c:v libx265 -preset ultrafast -x265-params log-level=error:hdr10=1:colorprim=bt2020:transfer=smpte2084:colormatrix=bt2020nc \
          -color_primaries bt2020 -color_trc smpte2084 -colorspace bt2020nc -tag:v hvc1 -c:a aac -b:a 128k "$part" ;;
      longgop_480p_10min) # a long recording with a keyframe every 10 s
        ffmpeg -v error -y -f lavfi -i "testsrc2=s=854x480:r=25:d=$d" $(tone "$d") \
          -c:v libx264 -preset superfast -crf 23 -g 250 -keyint_min 250 -sc_threshold 0 -pix_fmt yuv420p \
          -c:a aac -b:a 96k "$part" ;;
    esac
    mv "$part" "$out"
  fi
  echo "$out"
}

# Picture quality of a converted file against a high-quality reference of the same size: the
# source through the same chain with the scaler's Lanczos filter and exact rounding (what one
# would make with all the time in the world). Prints "SSIM PSNR" (mean over every frame).
quality() {
  local out=$1 src=$2 chain=$3 ref log
  ref=$(sed -E 's/scale=([0-9]+):([0-9]+)(:threads=[0-9]+)?/scale=\1:\2:flags=lanczos+accurate_rnd+full_chroma_int/' <<<"$chain")
  log=$(ffmpeg -nostdin -v info -i "$out" -i "$src" -filter_complex \
    "[1:v]$ref[r];[0:v]split[a][b];[r]split[c][d];[a][c]ssim=shortest=1;[b][d]psnr=shortest=1" -an -f null - 2>&1)
  printf '%s %s\n' "$(grep -o 'All:[0-9.]*' <<<"$log" | tail -1 | cut -d: -f2)" \
    "$(grep -o 'average:[0-9.inf]*' <<<"$log" | tail -1 | cut -d: -f2)"
}

peak_kb() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
cpu_s() { awk -F': ' '/User time|System time/ {s+=$2} END {print s}' "$1"; }
wall_s() { awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$1"; }
median() { sort -g | awk '{a[NR]=$1} END {if (NR) print (NR % 2 ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2)}'; }
length_title() { if [[ $1 == short ]]; then echo "usual clips"; else echo "$1 s clips"; fi; }

# Other work on the machine changes both sides' times: say how busy it was.
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)  cores: $(nproc)  lengths: ${lengths[*]}  reps: ${REPS:-3}"
declare -A ratio_of  # "<source> <length>" -> wall ratio
medians=()
for len in "${lengths[@]}"; do
  srcs=()
  for n in "${names[@]}"; do srcs+=("$(make_source "$n" "$(clip_seconds "$n" "$len")")"); done
  echo
  echo "== $(length_title "$len")"
  # CPU seconds and cores of the best run beside the wall times: they move less when other work
  # competes, and cores (CPU s / wall s) tell how well each side keeps the processor busy.
  # ours_in_s: the same best run as the engine itself timed it, without starting the process and
  # loading the libraries (which the program does once, not for each conversion).
  # ssim/psnr: ours and the one-step chain (every picture scaled at full size, as the engine did
  # before its box reduction and as the tool is given) against the reference; "<" marks a source
  # where ours is the lower.
  printf '%-20s %6s | %7s %8s %6s | %8s %10s | %5s %6s | %7s %9s | %9s | %8s %8s %6s %6s\n' source clip_s \
    ours_s ffmpeg_s ratio ours_cpu ffmpeg_cpu ours ffmpeg ours_MB ffmpeg_MB ours_in_s ours one-step ours one-step
  printf '%-20s %6s | %7s %8s %6s | %8s %10s | %12s | %7s %9s | %9s | %17s %13s\n' '' '' wall wall '' 'CPU s' 'CPU s' \
    'cores used' '' '' '' SSIM 'PSNR dB'
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
        -f flv -flvflags add_keyframe_index "$work/ffmpeg.flv" 2>"$work/ffmpeg.time" ||
        { echo "$name: the ffmpeg tool failed: $(tail -3 "$work/ffmpeg.time")" >&2; exit 1; }
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
    ratio_of["$name $len"]=$ratio
    # /usr/bin/time shows wall times to 10 ms: a run that short counts as 10 ms for the cores.
    cores_e=$(echo "$cpu_e / ($best_e + ($best_e == 0) * 0.01)" | bc -l)
    cores_f=$(echo "$cpu_f / ($best_f + ($best_f == 0) * 0.01)" | bc -l)
    "$bin" --whole-size-scale "$src" "$work/one-step.flv" 480x360 25 flv1 800 mp3 64 44100 2 >/dev/null 2>&1 ||
      { echo "$name: the one-step chain failed" >&2; exit 1; }
    read -r ssim_e psnr_e < <(quality "$work/engine.flv" "$src" "$vf")
    read -r ssim_w psnr_w < <(quality "$work/one-step.flv" "$src" "$vf")
    mark=
    { (($(echo "$ssim_e < $ssim_w" | bc))) || (($(echo "$psnr_e < $psnr_w" | bc))); } && mark='<'
    printf '%-20s %6s | %7.2f %8.2f %6.2f | %8.2f %10.2f | %5.2f %6.2f | %7.1f %9.1f | %9.2f | %8.5f %8.5f %6.2f %6.2f %s\n' \
      "$name" "$(clip_seconds "$name" "$len")" "$best_e" "$best_f" "$ratio" "$cpu_e" "$cpu_f" \
      "$cores_e" "$cores_f" "$(echo "$mem_e / 1024" | bc -l)" "$(echo "$mem_f / 1024" | bc -l)" "$in_e" \
      "$ssim_e" "$ssim_w" "$psnr_e" "$psnr_w" "$mark"
  done
  m=$(printf '%s\n' "${ratios[@]}" | median)
  medians+=("$len=$m")
  printf 'median ratio %.2f over %d sources (%s)\n' "$m" "${#ratios[@]}" "$(length_title "$len")"
done

if ((${#lengths[@]} > 1)); then
  # Side by side: where the ratio is worse on the usual clip than on the long one, start-up and the
  # serial end cost more than the steady state does.
  echo
  echo "== wall ratio by length"
  printf '%-20s' source; for len in "${lengths[@]}"; do printf ' %9s' "$len"; done; echo
  for name in "${names[@]}"; do
    printf '%-20s' "$name"
    for len in "${lengths[@]}"; do printf ' %9.2f' "${ratio_of["$name $len"]}"; done
    echo
  done
  printf '%-20s' median; for lm in "${medians[@]}"; do printf ' %9.2f' "${lm#*=}"; done; echo
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
