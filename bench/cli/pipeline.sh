#!/usr/bin/env bash
# Batch timing of zembra-cli: a folder of 200 spots made here (not committed) by copying
# four ffmpeg-encoded spots and varying each copy's length, analysed with the bundled
# profile (audio decoded) by hyperfine:
#   (a) --jobs 2 against --jobs 1, text output: the batch should take at most 0.6 times as long;
#   (b) --format json against text, both --jobs 2: at most 1.05 times as long.
# Needs: apt-get install ffmpeg hyperfine python3
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/bench/out/cli"
build="$out/build"
spots="$out/spots"
mkdir -p "$out"
"$root/scripts/install-deps.sh" cmake make g++ pkg-config libmpg123-dev libebur128-dev libcli11-dev \
    nlohmann-json3-dev ffmpeg hyperfine python3
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEMBRA_BUILD_GUI=OFF \
    -DZEMBRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target zembra-cli zembra_bundled_files >/dev/null
cli="$build/zembra-cli"

# Four 10-second SD spots that differ in bitrate, GOP length and aspect ratio.
variants=("4000k 12 16:9" "6000k 15 16:9" "5000k 12 4:3" "8000k 15 4:3")
for i in "${!variants[@]}"; do
    base="$out/base$i.mpg"
    [ -f "$base" ] && continue
    read -r rate gop aspect <<<"${variants[$i]}"
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=720x576:rate=25" \
        -f lavfi -i "sine=frequency=$((440 * (i + 1))):sample_rate=48000" -t 10 -ac 2 \
        -c:v mpeg2video -b:v "$rate" -maxrate "$rate" -bufsize 1835k -g "$gop" -bf 2 \
        -aspect "$aspect" -flags:v +cgop -sc_threshold 1000000000 \
        -c:a mp2 -b:a 192k -f vob "$base"
done
# 200 copies, each cut short by a different number of 2048-byte packs (0 to 24), so that
# no two spots in a row are the same file.
if [ "$(find "$spots" -name '*.mpg' 2>/dev/null | wc -l)" -ne 200 ]; then
    rm -rf "$spots"
    mkdir -p "$spots"
    for n in $(seq 1 200); do
        base="$out/base$((n % 4)).mpg"
        size=$(stat -c %s "$base")
        head -c "$((size - (n % 25) * 2048))" "$base" >"$spots/spot$(printf %03d "$n").mpg"
    done
fi
du -sh "$spots"
cat "$spots"/*.mpg >/dev/null  # into the page cache

run() { hyperfine --warmup 1 --runs "${RUNS:-5}" -N -i --export-json "$1" "${@:2}"; }
run "$out/jobs.json" \
    "$cli --jobs 1 $spots" \
    "$cli --jobs 2 $spots"
run "$out/format.json" \
    "$cli --jobs 2 $spots" \
    "$cli --jobs 2 --format json $spots"

# Means, and minimums, which other work on a shared machine disturbs least.
python3 - "$out/jobs.json" "$out/format.json" <<'PY'
import json, sys
def times(path):
    return [(r["mean"], min(r["times"])) for r in json.load(open(path))["results"]]
for path, label, target in ((sys.argv[1], "--jobs 2 / --jobs 1", 0.60),
                            (sys.argv[2], "json / text        ", 1.05)):
    (base_mean, base_min), (mean, least) = times(path)
    print(f"{label}: mean {mean:.3f} s / {base_mean:.3f} s = {mean / base_mean:.2f}, "
          f"min {least:.3f} s / {base_min:.3f} s = {least / base_min:.2f} (target <= {target:.2f})")
PY
