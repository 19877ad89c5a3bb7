#!/usr/bin/env bash
# Remakes data/sample.mpg: a 4-second SD PAL spot (720x576, 25 fps, 16:9, MPEG-2 MP@ML
# from mpeg2enc with its sequence end code, MPEG-1 Layer II 192 kbit/s 48 kHz stereo),
# multiplexed by mplex as a generic MPEG-2 program stream with the program end code.
# Needs: apt-get install ffmpeg mjpegtools
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -v error -f lavfi -i testsrc2=size=720x576:rate=25 -t 4 -pix_fmt yuv420p \
    -f yuv4mpegpipe - | mpeg2enc -v 0 -f 8 -a 3 -b 5000 -o "$work/video.m2v"
ffmpeg -v error -f lavfi -i "sine=frequency=1000:sample_rate=48000" -t 4 -ac 2 \
    -c:a mp2 -b:a 192k -bitexact "$work/audio.mp2"
mplex -v 0 -f 3 -o sample.mpg "$work/video.m2v" "$work/audio.mp2"
ls -l sample.mpg
