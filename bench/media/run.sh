#!/usr/bin/env bash
# What keeping a streamed video costs: makes MINUTES of 1080p H.264/AAC
# video cut into fragmented-MP4 segments as a streaming site serves them
# (ffmpeg), then runs ravo-bench-stream-capture on them and checks the file
# it makes with ffprobe.
#
#   bench/media/run.sh [MINUTES] [BUILD/bin]
set -euo pipefail
minutes=${1:-10}
bin=${2:-$(cd "$(dirname "$0")/../.." && pwd)/build/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=$((minutes * 60))
echo "making ${minutes} min of 1080p video (ffmpeg)..." >&2
mkdir "$work/dash"
(cd "$work/dash" && ffmpeg -hide_banner -loglevel error -f lavfi \
  -i "testsrc2=size=1920x1080:rate=30:duration=$seconds" -f lavfi -i "sine=frequency=440:duration=$seconds" \
  -c:v libx264 -preset ultrafast -b:v 5M -g 60 -pix_fmt yuv420p -c:a aac -b:a 128k \
  -f dash -seg_duration 2 -use_template 1 -use_timeline 0 out.mpd)
"$bin/ravo-bench-stream-capture" "$work/dash" "$work/out" "$seconds"
for f in "$work"/out/*; do
  printf 'file: %s, %s\n' "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$f") s" \
    "$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$f" | tr '\n' ' ')"
done
