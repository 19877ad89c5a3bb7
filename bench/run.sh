#!/usr/bin/env bash
# Benchmarks of the passes: makes a program stream of at least 512 MiB from a short
# ffmpeg clip (repeated by stream copy, not committed), then measures in one run
# (a) plain 1 MiB reads, (b) reads plus a memchr scan for 00 00 01, (c) the first pass,
# then (b) again beside the video walk, the audio header scan beside (a), the level
# measurement of ten minutes of MP2 without and with BS.1770 loudness beside libmpg123
# alone and libebur128 alone (without and with true peak), zembra-cli in header mode
# beside mediainfo, zembra-cli in decode mode with loudness beside it without,
# and the command line's peak memory on that file and on one an eighth of its size.
# Needs: apt-get install ffmpeg libbenchmark-dev time hyperfine mediainfo
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/bench/out"
build="$out/build"
mkdir -p "$out"
"$root/scripts/install-deps.sh" cmake make g++ pkg-config libmpg123-dev libebur128-dev libgtest-dev \
    libbenchmark-dev ffmpeg time hyperfine mediainfo
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEMBRA_BUILD_BENCH=ON -DZEMBRA_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

. "$root/bench/support/make_clip.sh"
clip="$out/clip.mpg"
big="$out/big.mpg"
small="$out/small.mpg"
if [ ! -f "$big" ]; then
    make_clip "$clip" 5000
    ffmpeg -v error -y -stream_loop 85 -i "$clip" -c copy -f vob "$big"
    ffmpeg -v error -y -stream_loop 10 -i "$clip" -c copy -f vob "$small"
fi
# Ten minutes of MP2, as an elementary stream and in a program stream.
long_mp2="$out/long.mp2"
long_audio="$out/long_audio.mpg"
if [ ! -f "$long_audio" ]; then
    ffmpeg -v error -y -f lavfi -i "sine=frequency=1000:sample_rate=48000" -t 600 -ac 2 \
        -c:a mp2 -b:a 192k -fflags +bitexact "$long_mp2"
    ffmpeg -v error -y -i "$long_mp2" -c copy -f vob "$long_audio"
fi
ls -l "$big" "$small"
cat "$big" > /dev/null  # into the page cache

for bench in first_pass_bench video_walk_bench audio_bench; do
    ZEMBRA_BENCH_FILE="$big" ZEMBRA_BENCH_LONG_AUDIO="$long_audio" ZEMBRA_BENCH_LONG_MP2="$long_mp2" \
        "$build/bench/$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done

# The whole analysis in header mode against mediainfo, which reads the file once.
header_profile="$out/header-mode.ini"
printf '[Audio]\nDecodeAudio=0\n' > "$header_profile"
hyperfine --warmup 1 --runs 5 -N \
    "$build/zembra-cli --profile $header_profile $big" \
    "mediainfo --ParseSpeed=1 --Full $big" 2>&1 | grep -vE '^\s*$' || true

ten_minutes="$out/ten_minutes.mpg"
[ -f "$ten_minutes" ] || ffmpeg -v error -y -stream_loop 59 -i "$clip" -c copy -f vob "$ten_minutes"
# Decode mode with BS.1770 loudness (a loudness key set) beside decode mode without it, on
# ten minutes of program stream.
decode_profile="$out/decode-mode.ini"
loudness_profile="$out/decode-loudness.ini"
printf '[Audio]\nDecodeAudio=1\n' > "$decode_profile"
printf '[Audio]\nDecodeAudio=1\nLoudnessTarget=-23\nLoudnessTolerance=1\n' > "$loudness_profile"
hyperfine --warmup 1 --runs 5 -N -i \
    "$build/zembra-cli --profile $loudness_profile $ten_minutes" \
    "$build/zembra-cli --profile $decode_profile $ten_minutes" 2>&1 | grep -vE '^\s*$' || true

# The whole run in the desktop application (offscreen) beside the command line, on ten
# minutes of program stream; both with the bundled profile.
"$root/scripts/build.sh" >/dev/null
QT_QPA_PLATFORM=offscreen hyperfine --warmup 1 --runs 5 -N -i \
    "$root/build/zembra --quit-after-run $ten_minutes" \
    "$root/build/zembra-cli $ten_minutes" 2>&1 | grep -vE '^\s*$' || true

for file in "$small" "$big"; do
    /usr/bin/time -f "zembra-cli on $(basename "$file"): peak RSS %M KiB, %e s" \
        "$build/zembra-cli" --profile /dev/null "$file" >/dev/null || true
done
