#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# into build-fuzz/, seeds their corpora from the test fixtures, and runs every target for
# SECONDS seconds (first argument, default 600), two at a time. A crash, a hang of more
# than 10 s or a leak stops its target and leaves the input in fuzz/out/<target>/.
# Needs: apt-get install clang libclang-rt-14-dev ffmpeg (and the build's packages)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
out="$root/fuzz/out"
build="$root/build-fuzz"
"$root/scripts/install-deps.sh" clang libclang-rt-14-dev ffmpeg cmake make pkg-config \
    libmpg123-dev libebur128-dev
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DZEMBRA_FUZZ=ON -DZEMBRA_BUILD_TESTS=OFF -DZEMBRA_BUILD_GUI=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

# Seeds: whole program streams, their video and audio elementary streams, the profiles.
fixtures="$root/tests/fixtures"
seed() { mkdir -p "$out/$1/corpus"; }
for target in first_pass_fuzz analyze_file_fuzz video_walk_fuzz audio_header_scan_fuzz \
    audio_levels_fuzz profile_fuzz; do
    seed "$target"
done
cp "$fixtures"/*.mpg "$fixtures"/*.vob "$root/data/sample.mpg" "$out/first_pass_fuzz/corpus/"
cp "$fixtures"/mp2_*.mpg "$fixtures"/mplex_generic.mpg "$out/analyze_file_fuzz/corpus/"
for f in ffmpeg_vob.mpg mplex_generic.mpg; do
    ffmpeg -v error -y -i "$fixtures/$f" -map 0:v -c copy -f mpeg2video \
        "$out/video_walk_fuzz/corpus/${f%.mpg}.m2v"
done
for f in mp2_48k_stereo mp2_mono_crc mp3_48k mp2_44k_joint; do
    for target in audio_header_scan_fuzz audio_levels_fuzz; do
        ffmpeg -v error -y -i "$fixtures/$f.mpg" -map 0:a -c copy -f "${f%%_*}" \
            "$out/$target/corpus/$f.${f%%_*}"
    done
done
cp "$root/data/MpegReference.ini" "$out/profile_fuzz/corpus/"

run() {
    local target="$1"
    (cd "$out/$target" && "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 corpus >"$target.log" 2>&1) || true
    echo "$target: $(grep -E 'stat::number_of_executed_units' "$out/$target/$target.log" |
        awk '{print $2}') executions; findings: $(ls "$out/$target" | grep -cE '^(crash|timeout|leak|oom)-' || true)"
}
targets=(first_pass_fuzz video_walk_fuzz audio_header_scan_fuzz audio_levels_fuzz profile_fuzz
    analyze_file_fuzz)
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    run "${targets[i]}" &
    run "${targets[i + 1]}" &
    wait
done
