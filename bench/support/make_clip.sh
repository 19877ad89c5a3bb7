# Sourced by the benchmark scripts. make_clip OUT KBITS: a 10-second ffmpeg clip of SD PAL
# MPEG-2 video at KBITS kbit/s and 192 kbit/s MP2 in a program stream. Its video has no
# sequence end code, so the walk runs through every copy of it instead of ending at the
# first copy's end code.
make_clip() {
    ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 \
        -f lavfi -i sine=frequency=1000:sample_rate=48000 -t 10 -ac 2 \
        -c:v mpeg2video -b:v "$2k" -maxrate "$2k" -bufsize 1835k -g 12 -bf 2 \
        -flags:v +cgop+bitexact -mpv_flags +strict_gop -sc_threshold 1000000000 \
        -c:a mp2 -b:a 192k -fflags +bitexact -f vob "$1"
}
