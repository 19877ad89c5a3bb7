#!/usr/bin/env bash
# A whole run reads the file once and measures its streams side by side. Compares
# zembra-cli with the build of an earlier revision (BASELINE, by default the last one that
# read the file once per pass) on a 30-minute program stream of about 1.4 GB made here
# (a 10-second ffmpeg clip repeated by stream copy; not committed), in the page cache:
#   - hyperfine, both builds side by side, header mode and decode mode;
#   - bytes read per run (read/pread64 calls counted by strace) against the file's size;
#   - peak RSS of each mode, on the 30-minute file and on one a tenth of its length.
# Needs: apt-get install ffmpeg hyperfine strace time git
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/bench/out"
baseline_rev="${BASELINE:-f05ad7d}"
mkdir -p "$out"
"$root/scripts/install-deps.sh" cmake make g++ pkg-config libmpg123-dev libebur128-dev libgtest-dev \
    ffmpeg hyperfine strace time git

build_cli() {  # source folder, build folder
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DZEMBRA_BUILD_GUI=OFF >/dev/null
    cmake --build "$2" -j"$(nproc)" --target zembra-cli >/dev/null
}
build_cli "$root" "$out/build-now"
baseline_src="$out/baseline-src"
if [ ! -d "$baseline_src" ]; then
    git -C "$root" worktree add --detach "$baseline_src" "$baseline_rev" >/dev/null
fi
build_cli "$baseline_src" "$out/build-baseline"
now="$out/build-now/zembra-cli"
before="$out/build-baseline/zembra-cli"

. "$root/bench/support/make_clip.sh"
clip="$out/clip_6m.mpg"
long="$out/thirty_minutes.mpg"
short="$out/three_minutes.mpg"
if [ ! -f "$long" ]; then
    make_clip "$clip" 6000
    ffmpeg -v error -y -stream_loop 179 -i "$clip" -c copy -f vob "$long"
    ffmpeg -v error -y -stream_loop 17 -i "$clip" -c copy -f vob "$short"
fi
ls -l "$long" "$short"
cat "$long" "$short" >/dev/null  # into the page cache

header="$out/header-mode.ini"
decode="$out/decode-mode.ini"
printf '[Audio]\nDecodeAudio=0\n' >"$header"
printf '[Audio]\nDecodeAudio=1\n' >"$decode"

echo "== header mode, 30 minutes"
hyperfine --warmup 1 --runs 7 -N -i \
    -n before "$before --profile $header $long" -n now "$now --profile $header $long"
echo "== decode mode, 30 minutes"
hyperfine --warmup 1 --runs 3 -N -i \
    -n before "$before --profile $decode $long" -n now "$now --profile $decode $long"

bytes_read() {  # command...: bytes the process and its threads took with read and pread64
    local trace
    trace="$(mktemp)"
    strace -f -qq -e trace=read,pread64 -e signal=none -o "$trace" "$@" >/dev/null || true
    awk '/= [0-9]+$/ { total += $NF } END { print total + 0 }' "$trace"
    rm -f "$trace"
}
size=$(stat -c %s "$long")
for build in before now; do
    cli="$before"
    [ "$build" = now ] && cli="$now"
    for profile in "$header" "$decode"; do
        read_bytes=$(bytes_read "$cli" --profile "$profile" "$long")
        awk -v b="$build" -v m="$(basename "$profile" .ini)" -v r="$read_bytes" -v s="$size" \
            'BEGIN { printf "%-6s %-11s read %.0f bytes = %.3f x the file size\n", b, m, r, r / s }'
    done
done

for file in "$short" "$long"; do
    for profile in "$header" "$decode"; do
        /usr/bin/time -f "now: $(basename "$file") $(basename "$profile" .ini): peak RSS %M KiB" \
            "$now" --profile "$profile" "$file" >/dev/null || true
    done
done
