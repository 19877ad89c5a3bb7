#!/usr/bin/env bash
# First-pass benchmark: makes a program stream of at least 512 MiB from the bundled
# sample (repeated by stream copy, not committed), then measures in one run
# (a) plain 1 MiB reads, (b) reads plus a memchr scan for 00 00 01, (c) the first pass,
# and the command line's peak memory on that file and on one an eighth of its size.
# Needs: apt-get install ffmpeg libbenchmark-dev time
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/bench/out"
build="$out/build"
mkdir -p "$out"
"$root/scripts/install-deps.sh" cmake make g++ pkg-config libinih-dev libgtest-dev \
    libbenchmark-dev ffmpeg time
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEMBRA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

big="$out/big.mpg"
small="$out/small.mpg"
if [ ! -f "$big" ]; then
    ffmpeg -v error -y -stream_loop 255 -i "$root/data/sample.mpg" -c copy -f vob "$big"
    ffmpeg -v error -y -stream_loop 30 -i "$root/data/sample.mpg" -c copy -f vob "$small"
fi
ls -l "$big" "$small"
cat "$big" > /dev/null  # into the page cache

ZEMBRA_BENCH_FILE="$big" "$build/bench/first_pass_bench" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true

for file in "$small" "$big"; do
    /usr/bin/time -f "zembra-cli on $(basename "$file"): peak RSS %M KiB, %e s" \
        "$build/zembra-cli" --profile /dev/null "$file" >/dev/null || true
done
