#!/usr/bin/env bash
# Peak memory of a run over a stream of many one-picture GOPs: a row a GOP is the worst
# case for everything kept per GOP. Prints the peak resident size of the whole run (main
# process and worker; GNU time reports the largest) with the text report, which keeps no
# series, and with JSON, which holds every GOP row.
#
#   bench/run/gop_memory.sh [ZEMBRA_CLI] [GOPS]
#
#   ZEMBRA_CLI  default build/zembra-cli (the bundled profile beside it is used)
#   GOPS        default 2000000; the stream is made once with ffmpeg (16x16 intra pictures
#               at 25 fps, about 56 bytes a picture) and kept in ${BENCH_DIR:-/tmp/zembra-bench}
set -euo pipefail
cli=$(realpath "${1:-build/zembra-cli}")
gops=${2:-2000000}
dir=${BENCH_DIR:-/tmp/zembra-bench}
mkdir -p "$dir"
stream="$dir/gops-$gops.mpg"
if [ ! -s "$stream" ]; then
    echo "making $stream ($gops one-picture GOPs)..." >&2
    ffmpeg -v error -y -f lavfi -i "color=black:size=16x16:rate=25" -frames:v "$gops" \
        -c:v mpeg2video -g 1 -b:v 16k -flags:v +bitexact -fflags +bitexact -f vob "$stream.tmp"
    mv "$stream.tmp" "$stream"
fi
echo "$(stat -c %s "$stream") bytes, $gops GOPs"
peak() {  # peak resident size in MiB of the command and its children
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.0f MiB", $1 / 1024}'
}
echo "text report: $(peak "$cli" "$stream")"
echo "JSON:        $(peak "$cli" --format json "$stream")"
