// The reference profile: the operator's expectations of a compliant file, read from
// MpegReference.ini before every run. Field names are the keys of the file.
// An absent integer key is 65535 (not set), an absent real key 1000.0; the three time
// keys default to 0, which also means not set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/compliance_checks.h"
#include "video/video_codes.h"

struct SystemReference {
    int32_t SystemHeadersMin;
    int32_t MPEGPackSize;
    int32_t PacketsPerPack;
    int32_t PacketSCRTimingError;
    int32_t PacketPTSDTSOutSync;
    int32_t SystemVBR;
    int32_t ProgramMuxRateMin;
    int32_t VideoStreams;
    int32_t AudioStreams;
    int32_t MPEGAudioStreams;
    int32_t MPEGVideoStreams;
    int32_t ProgramEndCodeRequired;
    int32_t DurationAudioVideoDifference;
    int32_t DelayAudioVideoDifference;
    int32_t MaxTimeToProcess;  // from [Processing]
    // A spot spliced into a channel: its first audio frame within this many ms of its first
    // picture, its last audio frame's end within this many ms of its last picture's.
    int32_t AudioVideoStartMax;
    int32_t AudioVideoEndMax;
    int32_t SpotDurationTolerance;  // frames either side of a SpotDurations length; not set: 0
    // 1: packs arriving faster than their mux rate, or a mux rate above the system
    // header's rate bound, fail
    int32_t MuxRateCheck;
    // The most SCRs that may go back or jump forward by more than 0.7 s (joined files, a
    // clock restarted in the middle)
    int32_t ClockDiscontinuitiesMax;
};

struct VideoReference {
    int32_t SequenceHeaderAligned;
    int32_t SequenceHeadersMin;
    int32_t HorizontalSize;
    int32_t VerticalSize;
    int32_t FrameRate;
    int32_t AspectRatio;
    int32_t VBVBufferSize;
    int32_t ProfileAndLevel;
    int32_t CBR_VBR;
    int32_t ChromaFormat;
    int32_t PictureStructure;
    int32_t IntraDCPrecision;
    int32_t TopFieldFirst;
    int32_t DCTType;
    int32_t QuantizationScale;
    int32_t ScanType;
    int32_t ProgressiveFrame;
    int32_t FirstGOPClosed;
    int32_t AllGOPClosed;
    int32_t GOPLengthMax;
    int32_t FramesIRequired;
    int32_t FramesPRequired;
    int32_t FramesBRequired;
    int32_t VideoPeakBitrate;
    int32_t VideoAvgBitrate;
    int32_t VideoEndCodeRequired;
    // Checks for spots spliced into a channel; while none of these is set, the video
    // section has none of their lines.
    int32_t VBVCheck;                // 1: a buffer underflow or overflow fails
    int32_t DeclaredBitrateCheck;    // 1: a peak above the sequence header's bit rate fails
    int32_t SpliceReady;             // 1: a stream a splicer cannot cut at its ends fails
    int32_t SequenceHeaderEveryGOP;  // 1: a GOP without a sequence header before it fails
    // 0: a sequence header whose picture size, aspect ratio, frame rate or chroma format
    // differs from the one before fails; 1: accepted
    int32_t FormatChangesAllowed;
};

struct AudioReference {
    int32_t DecodeAudio;
    int32_t AudioSyncLossesMax;
    int32_t MPEG;
    int32_t Layer;
    int32_t AudioBitrate;
    int32_t SamplingFrequency;
    int32_t ErrorProtection;
    int32_t PrivateFlag;
    int32_t Mode;
    int32_t ModeExtension;
    int32_t CopyrightFlag;
    int32_t OriginalFlag;
    int32_t Emphasis;
    int32_t MaxSamplesClipped;
    double MaxDCLevel;
    double MaxPeakValue;
    double RMSReference;
    double RMSTolerance;
    double RMSLeftRightDiff;
    // Programme loudness after ITU-R BS.1770-4 (EBU R 128: -23 LUFS within 0.5 LU, -1 dBTP).
    double LoudnessTarget;        // LUFS, with LoudnessTolerance either side
    double LoudnessTolerance;     // LU
    double TruePeakMax;           // dBTP, each channel
    double LoudnessRangeMax;      // LU
    double ShortTermLoudnessMax;  // LUFS
};

// The absolute gate of ITU-R BS.1770-4 (2.8), below which no block counts: the least
// loudness a key takes, and the floor the loudness graphs draw silence at.
constexpr double kAbsoluteGateLufs = -70;

struct ReferenceProfileData {
    SystemReference system;
    VideoReference video;
    AudioReference audio;
    // [System] SpotDurations: the lengths in seconds a spot is sold in ("10,15,20,30,60");
    // empty when not set.
    std::vector<int32_t> spotDurations;
};

// Values of keys that more than one part of the program writes or judges by.
// DecodeAudio: the audio is decoded and its levels measured.
constexpr int32_t kDecodeAudioOn = 1;
// ProgramMuxRateMin: the mux rate is held to what the streams need; any other value not.
constexpr int32_t kMuxRateHeldToStreams = 1;
// SystemVBR and CBR_VBR: the bitrate mode that passes.
constexpr int32_t kConstantBitrateAccepted = 0;
constexpr int32_t kVariableBitrateAccepted = 1;
// PictureStructure: frame pictures only (the code of a frame picture), or field pictures,
// alone or mixed with frame pictures.
constexpr int32_t kFramePicturesAccepted = static_cast<int32_t>(kFramePicture);
constexpr int32_t kFieldPicturesAccepted = 0;
// AllGOPClosed: every GOP closed, or at least one open.
constexpr int32_t kAllClosedAccepted = 1;
constexpr int32_t kSomeOpenAccepted = 0;

// The one process-wide profile; every field is zero before the first load.
extern ReferenceProfileData ReferenceProfile;

// The running executable's path, read from /proc/self/exe; empty when it cannot be read.
std::string ExecutablePath();
// The folder of the running executable, with a trailing "/"; "./" when it cannot be read.
std::string ExecutableDirectory();
// MpegReference.ini beside the executable.
std::string DefaultReferenceProfilePath();

// Replaces every field from the file; a missing file, section, key or unreadable
// value gives the default. Also replaces ProfileWarnings() and ReferenceProfileOrigin().
void LoadReferenceProfileFrom(const std::string& path);
// The same from the bytes of the file at `path`, read once by the caller: every file of a
// batch is judged by the same profile, even one saved again during the batch.
void LoadReferenceProfileFromText(const std::string& path, const std::string& text);
void LoadReferenceProfile();
// Every field its default, on purpose: no profile at all.
void LoadNoReferenceProfile();

// The key a field of a section holds, named as the profile spells it, with the value the
// section gives it: what a compliance check carries, so that outputs can say which key
// judged a line. KeyOf(ref, &VideoReference::AspectRatio) is [Video] AspectRatio.
ProfileKey KeyOf(const SystemReference& section, int32_t SystemReference::*field);
ProfileKey KeyOf(const VideoReference& section, int32_t VideoReference::*field);
ProfileKey KeyOf(const AudioReference& section, int32_t AudioReference::*field);
RealProfileKey KeyOf(const AudioReference& section, double AudioReference::*field);

// Where the values of the last load came from, for the report to say.
struct ProfileOrigin {
    bool none = true;       // no profile: LoadNoReferenceProfile, or nothing loaded yet
    std::string path;       // the file read, or that could not be read
    std::string readError;  // why it could not be read; empty when it was read
    int keysSet = 0;        // lines that give a key Zembra knows (in [Labels] none count)
};
const ProfileOrigin& ReferenceProfileOrigin();

// A name in the profile that Zembra does not know, most often a typo
// ("HorizontalSise"): the check the operator meant to set is not made, so the report
// and the command line say so. Known are the sections [System], [Processing], [Video],
// [Audio] and [Labels], the keys read into ReferenceProfile in the first four, and any
// name in [Labels]. A key in an unknown section is covered by that section's warning;
// a key before the first section header is an unknown key of the section "". A known key
// whose value is no number ("720px", "720 # PAL") or a number the key does not take
// (FrameRate=25, GOPLengthMax=-15) is not applied: it keeps its not-set value, and the
// file cannot pass (the command line refuses the profile, the report fails).
enum class ProfileWarningKind { UnknownKey, UnknownSection, UnreadableValue, OutOfRange };

struct ProfileWarning {
    ProfileWarningKind kind;
    std::string path;     // of the profile
    int line;             // 1-based
    std::string section;  // as written
    std::string key;      // as written; empty for an unknown section
    std::string value;    // as written, for a value not applied
    std::string takes;    // what the key takes, for a value not applied: "FrameRate takes ..."
};

// A value written for a key that the key could not take.
bool IsValueNotApplied(const ProfileWarning& warning);

// The warnings of the last load, in file order; empty before the first load.
const std::vector<ProfileWarning>& ProfileWarnings();
// `Unknown key "KEY" in [SECTION] of profile "PATH", line N`,
// `Unknown section [SECTION] of profile "PATH", line N`,
// `Unreadable value "VALUE" of key "KEY" in [SECTION] of profile "PATH", line N; TAKES` or
// `Value "VALUE" of key "KEY" in [SECTION] of profile "PATH", line N is out of range; TAKES`.
std::string ProfileWarningText(const ProfileWarning& warning);
