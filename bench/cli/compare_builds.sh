#!/usr/bin/env bash
# Proves that a change leaves every output of zembra-cli as it was: builds two revisions
# (or a revision and the working tree), runs both over the same inputs in every profile
# mode and with every output the command line has, and compares the outputs byte for byte.
#
#   bench/cli/compare_builds.sh [BASE_REV] [NEW]
#
#   BASE_REV  a git revision (default HEAD)
#   NEW       a git revision; left out (or ""), the working tree as it is, uncommitted
#             edits included
#   COMPARE_DIR=DIR  where builds, made streams and outputs go (default /tmp/zembra-compare)
#   COMPARE_JOBS=N   runs of zembra-cli at once (default 2)
#
# A revision is checked out with git worktree (removed again at the end) and built once into
# $COMPARE_DIR/build/<commit>, Release, zembra-cli only; a rerun reuses that build. The
# working tree is built into $COMPARE_DIR/build/worktree, incrementally on each run.
#
# Inputs, the same bytes at the same paths for both builds: the *.mpg and *.vob files of
# tests/fixtures, data/sample.mpg (both as this checkout holds them), and two long
# ffmpeg-made streams kept in $COMPARE_DIR/streams: 120 s of CBR SD PAL with one MP2
# stream, and 60 s of VBR SD PAL with two (stereo tone, mono pink noise).
# Profile modes:
#   bundled             no --profile: the MpegReference.ini beside zembra-cli, which decodes
#                       the audio (DecodeAudio=1). Both builds get BASE_REV's, so that an edit
#                       of it shows once, as the difference of the two builds' bundled
#                       profiles (an output of their own), and not in every output that
#                       names its SHA-256;
#   header              this checkout's MpegReference.ini with DecodeAudio=0;
#   ebu-r128, atsc-a85  data/profiles: DecodeAudio=1 and the loudness keys;
#   none                --no-profile.
# For each input and mode, eight runs: text, --errors-only, --explain, --format json,
# --format jsonl, --format junit; text with --output, --summary, --gops and --bitrate
# files; JSON to --output with --vbv and --loudness files. The same eight over all the
# fixtures and the sample as one batch (a folder, --jobs 2) in each mode, and
# --make-profile of each input. Every run's standard output, standard error, exit status
# and files are compared.
#
# Each build is run as the same path ($COMPARE_DIR/run/bin/zembra-cli, the bundled profile
# beside it), from the same folder, with its outputs at the same paths, so that no path
# differs between the two. What differs from run to run is rewritten, and nothing else:
#   - the version line's date and time: "Zembra v1.4.0.131 - 12/11/26  10:36:52"
#     -> "Zembra v1.4.0.131 - (date)  (time)" (text, and the JSON and JUnit that hold it);
#   - "Processing time: 00:00:02" -> "Processing time: (elapsed)";
#   - JSON "analysedAt" and "processingSeconds" values;
#   - JUnit <testsuites>/<testsuite> "time" and "timestamp" attributes;
#   - the CSV summary's last column, analysed_at;
#   - a batch's tally on standard error: "36 files: ..., 4.1 s" -> "..., (seconds) s".
#
# Compares each pair with diff -rq, prints each differing one's diff -u (its first 40
# lines), then "N outputs compared, M differ". Exit status: 0 all identical, 1 a
# difference, 2 a build or set-up failure.
# Needs: cmake, g++, git, ffmpeg, and the build's libraries (scripts/build.sh lists them).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
compare_dir="${COMPARE_DIR:-/tmp/zembra-compare}"
jobs="${COMPARE_JOBS:-2}"
base_rev="${1:-HEAD}"
new_rev="${2:-}"

fail() {
    echo "compare_builds: $*" >&2
    exit 2
}
# Any other failure is one of the set-up too, not a difference of the outputs.
trap 'exit 2' ERR

mkdir -p "$compare_dir/build" "$compare_dir/src" "$compare_dir/streams"
# Two comparisons in one folder would run each other's executables.
exec 9>"$compare_dir/.lock"
flock -n 9 || fail "another comparison is running in $compare_dir"

# Worktrees this run added, removed however it ends.
added_worktrees=()
remove_worktrees() {
    local tree
    for tree in "${added_worktrees[@]}"; do
        git -C "$root" worktree remove --force "$tree" >/dev/null 2>&1 ||
            echo "compare_builds: could not remove the worktree $tree" >&2
    done
    added_worktrees=()
}
trap remove_worktrees EXIT

commit_of() {
    git -C "$root" rev-parse --verify --quiet "$1^{commit}" || fail "no such revision: $1"
}

# configure_and_build SOURCE BUILD: zembra-cli and, where the tree has it, the target that
# copies the bundled profile beside it; the log in BUILD.log, its end shown on failure.
configure_and_build() {
    local source=$1 build=$2
    local targets=(--target zembra-cli)
    # Older trees copy the profile after linking zembra-cli instead.
    grep -q zembra_bundled_files "$source/CMakeLists.txt" && targets+=(zembra_bundled_files)
    if ! { cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEMBRA_BUILD_GUI=OFF \
        -DZEMBRA_BUILD_TESTS=OFF && cmake --build "$build" -j2 "${targets[@]}"; } \
        >"$build.log" 2>&1; then
        tail -n 30 "$build.log" >&2
        fail "the build in $build failed (log: $build.log)"
    fi
}

# build_side REV: builds REV ("" for the working tree) and sets `built` to its folder. Not
# run in a subshell, so that the worktree it adds is known to the trap.
build_side() {
    if [ -z "$1" ]; then
        built="$compare_dir/build/worktree"
        # CMake refuses a build folder made from other sources, and says so less plainly.
        if [ -f "$built/CMakeCache.txt" ] &&
            ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$built/CMakeCache.txt"; then
            fail "$built builds another checkout; give this one a COMPARE_DIR of its own"
        fi
        echo "Building the working tree in $built" >&2
        configure_and_build "$root" "$built"
        return
    fi
    local commit
    commit=$(commit_of "$1")
    local build="$compare_dir/build/$commit"
    if [ ! -f "$build/.built" ]; then
        local source="$compare_dir/src/$commit"
        echo "Building $1 ($commit) in $build" >&2
        if [ -d "$source" ]; then
            # Left by a run that was killed before it could remove it.
            [ "$(git -C "$source" rev-parse HEAD 2>/dev/null)" = "$commit" ] ||
                fail "$source is not a checkout of $commit; remove it"
        else
            git -C "$root" worktree add --detach "$source" "$commit" >/dev/null 2>&1 ||
                fail "git worktree add $source $commit failed"
        fi
        added_worktrees+=("$source")
        configure_and_build "$source" "$build"
        touch "$build/.built"
    fi
    built=$build
}

build_side "$base_rev"
base_build=$built
build_side "$new_rev"
new_build=$built
remove_worktrees
new_name="${new_rev:-the working tree}"

# The long streams, made once: encoding them takes longer than a whole comparison.
streams="$compare_dir/streams"
long_one="$streams/cbr_120s_mp2.mpg"
long_two="$streams/vbr_60s_two_mp2.mpg"
if [ ! -f "$long_one" ]; then
    echo "Making $long_one" >&2
    # A tone that swells and fades every 15 s, so that the loudness curve and range move.
    ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 \
        -f lavfi -i "aevalsrc=0.25*sin(2*PI*1000*t)*(0.6+0.4*sin(2*PI*t/15)):s=48000" \
        -t 120 -ac 2 -c:v mpeg2video -b:v 5000k -minrate 5000k -maxrate 5000k -bufsize 1835k \
        -aspect 16:9 -g 12 -bf 2 -flags:v +cgop+bitexact -mpv_flags +strict_gop \
        -sc_threshold 1000000000 -c:a mp2 -b:a 192k -fflags +bitexact -f vob "$long_one.tmp"
    mv "$long_one.tmp" "$long_one"
fi
if [ ! -f "$long_two" ]; then
    echo "Making $long_two" >&2
    ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=48000 \
        -f lavfi -i anoisesrc=color=pink:amplitude=0.2:seed=17:sample_rate=48000 \
        -t 60 -map 0:v -map 1:a -map 2:a -c:v mpeg2video -b:v 4000k -maxrate 8000k \
        -bufsize 1835k -aspect 4:3 -g 15 -bf 2 -flags:v +bitexact -c:a mp2 -ac:a:0 2 \
        -b:a:0 192k -ac:a:1 1 -b:a:1 128k -fflags +bitexact -f vob "$long_two.tmp"
    mv "$long_two.tmp" "$long_two"
fi

# The run's folder, made afresh: inputs, profiles, the executable under test, outputs.
run="$compare_dir/run"
rm -rf "$run"
mkdir -p "$run/bin" "$run/inputs/fixtures" "$run/profiles" "$run/out"
find "$root/tests/fixtures" -maxdepth 1 -type f \( -name '*.mpg' -o -name '*.vob' \) \
    -exec cp {} "$run/inputs/fixtures/" \;
cp "$root/data/sample.mpg" "$run/inputs/"
inputs=()
while IFS= read -r input; do inputs+=("$input"); done \
    < <(find "$run/inputs" -type f | LC_ALL=C sort)
inputs+=("$long_one" "$long_two")
sed -E 's/^DecodeAudio=.*/DecodeAudio=0/' "$root/data/MpegReference.ini" >"$run/profiles/header.ini"
grep -q '^DecodeAudio=0' "$run/profiles/header.ini" ||
    fail "no DecodeAudio key in data/MpegReference.ini"
cp "$root/data/profiles/ebu-r128.ini" "$root/data/profiles/atsc-a85.ini" "$run/profiles/"
modes=(bundled header ebu-r128 atsc-a85 none)

mode_args() {
    case $1 in
        bundled) ;;
        header | ebu-r128 | atsc-a85) printf '%s\n' --profile "$run/profiles/$1.ini" ;;
        none) echo --no-profile ;;
    esac
}

# Fixed for both builds; the version line's date takes C's format, which the rules below read.
export LC_ALL=C NO_COLOR=1

# run_cli DIR STEM EXT ARG...: one run from the run's folder, standard output in
# DIR/STEM.out.EXT, standard error in DIR/STEM.err and the exit status in DIR/STEM.status.
# A run that hangs is stopped, and its status (124) shows it.
run_cli() {
    local dir=$1 stem=$2 ext=$3 status=0
    shift 3
    (cd "$run" && timeout -k 10 600 "$run/bin/zembra-cli" "$@") \
        >"$dir/$stem.out.$ext" 2>"$dir/$stem.err" </dev/null || status=$?
    echo "$status" >"$dir/$stem.status"
}

# run_outputs DIR MODE ARG...: every output of the command line, for the files ARG... name.
run_outputs() {
    local dir=$1 mode=$2 profile
    shift 2
    mapfile -t profile < <(mode_args "$mode")
    mkdir -p "$dir"
    run_cli "$dir" text txt "${profile[@]}" "$@"
    run_cli "$dir" errors-only txt "${profile[@]}" --errors-only "$@"
    run_cli "$dir" explain txt "${profile[@]}" --explain "$@"
    run_cli "$dir" json json "${profile[@]}" --format json "$@"
    run_cli "$dir" jsonl jsonl "${profile[@]}" --format jsonl "$@"
    run_cli "$dir" junit xml "${profile[@]}" --format junit "$@"
    run_cli "$dir" files txt "${profile[@]}" --output "$dir/files.report.txt" \
        --summary "$dir/files.summary.csv" --gops "$dir/files.gops.csv" \
        --bitrate "$dir/files.bitrate.csv" "$@"
    # --vbv and --loudness also put their series into the JSON.
    run_cli "$dir" series txt "${profile[@]}" --format json --output "$dir/series.report.json" \
        --vbv "$dir/series.vbv.csv" --loudness "$dir/series.loudness.csv" "$@"
}

# Runs "$@" in the background, at most $jobs at once.
in_pool() {
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    "$@" &
}

bundled_profile="$base_build/MpegReference.ini"
[ -f "$bundled_profile" ] || fail "$base_build has no bundled MpegReference.ini"

# run_side NAME BUILD: every run with BUILD's zembra-cli, outputs into $run/out/NAME. The
# outputs are written under one path for both builds and moved when the build is done.
run_side() {
    local name=$1 build=$2 out="$run/out/current" mode input
    cp "$build/zembra-cli" "$run/bin/zembra-cli"
    cp "$bundled_profile" "$run/bin/MpegReference.ini"
    mkdir -p "$out/bundled-profile"
    if [ -f "$build/MpegReference.ini" ]; then
        cp "$build/MpegReference.ini" "$out/bundled-profile/"
    fi
    for mode in "${modes[@]}"; do
        in_pool run_outputs "$out/$mode/batch" "$mode" --jobs 2 "$run/inputs"
        for input in "${inputs[@]}"; do
            in_pool run_outputs "$out/$mode/$(basename "$input")" "$mode" "$input"
        done
    done
    for input in "${inputs[@]}"; do
        mkdir -p "$out/make-profile/$(basename "$input")"
        in_pool run_cli "$out/make-profile/$(basename "$input")" make-profile ini \
            --make-profile "$input"
    done
    wait
    mv "$out" "$run/out/$name"
}

outputs_per_run=$((3 * 8 + 7))
echo "Inputs: ${#inputs[@]} files, and all but the long streams as one batch; modes:" \
    "${modes[*]}; in each mode 8 runs of each, $outputs_per_run outputs;" \
    "--make-profile of each input"
start=$SECONDS
echo "Running $base_rev ($base_build)" >&2
run_side base "$base_build"
echo "Running $new_name ($new_build)" >&2
run_side new "$new_build"
echo "Runs took $((SECONDS - start)) s" >&2

# The rewrites of what differs from run to run (listed at the top), by the kind of output.
date='[0-9]{2}/[0-9]{2}/[0-9]{2}'
clock='[0-9]{2}:[0-9]{2}:[0-9]{2}'
text_rules=(
    -e "s#(Zembra v[0-9][0-9.]*) - $date  $clock#\\1 - (date)  (time)#g"
    -e "s#Processing time: $clock#Processing time: (elapsed)#g"
)
json_rules=(
    -e 's#"analysedAt":"[^"]*"#"analysedAt":"(start)"#g'
    -e 's#"processingSeconds":[-+.0-9eE]+#"processingSeconds":(seconds)#g'
)
junit_rules=(
    -e 's#(<testsuites? [^>]*)time="[^"]*"#\1time="(seconds)"#'
    -e 's#(<testsuite [^>]*)timestamp="[^"]*"#\1timestamp="(start)"#'
)
summary_rules=(-e 's#,[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z(\r?)$#,(start)\1#')
tally_rules=(-e 's#^([0-9]+ files: .*), [0-9]+\.[0-9] s$#\1, (seconds) s#')

normalise() {  # SIDE: $run/out/SIDE copied to $run/norm/SIDE, rewritten
    local norm="$run/norm/$1"
    mkdir -p "$run/norm"
    cp -r "$run/out/$1" "$norm"
    find "$norm" -type f \( -name '*.txt' -o -name '*.json' -o -name '*.jsonl' -o -name '*.xml' \) \
        -exec sed -E -i "${text_rules[@]}" {} +
    find "$norm" -type f \( -name '*.json' -o -name '*.jsonl' \) \
        -exec sed -E -i "${json_rules[@]}" {} +
    find "$norm" -type f -name '*.xml' -exec sed -E -i "${junit_rules[@]}" {} +
    find "$norm" -type f -name '*.summary.csv' -exec sed -E -i "${summary_rules[@]}" {} +
    find "$norm" -type f -name '*.err' -exec sed -E -i "${tally_rules[@]}" {} +
}
normalise base
normalise new

# Each pair byte for byte, by one diff -rq: a cmp per pair costs a minute of forks.
declare -A unequal=()
while IFS= read -r rel; do unequal[$rel]=1; done < <(cd "$run/norm" && diff -rq base new |
    sed -n 's#^Files base/\(.*\) and new/.* differ$#\1#p')
compared=0
differ=0
while IFS= read -r rel; do
    compared=$((compared + 1))
    base_file="$run/norm/base/$rel"
    new_file="$run/norm/new/$rel"
    if [ ! -f "$base_file" ] || [ ! -f "$new_file" ]; then
        differ=$((differ + 1))
        [ -f "$base_file" ] && echo "== $rel: written by $base_rev only"
        [ -f "$new_file" ] && echo "== $rel: written by $new_name only"
        continue
    fi
    [ -n "${unequal[$rel]:-}" ] || continue
    differ=$((differ + 1))
    echo "== $rel differs"
    diff -u --label "$base_rev/$rel" --label "$new_name/$rel" "$base_file" "$new_file" |
        head -n 40 || true
done < <({ (cd "$run/norm/base" && find . -type f) && (cd "$run/norm/new" && find . -type f); } |
    sed 's#^\./##' | LC_ALL=C sort -u)
echo "$compared outputs compared, $differ differ (outputs in $run/out, rewritten in $run/norm)"
if [ "$differ" -ne 0 ]; then exit 1; fi
