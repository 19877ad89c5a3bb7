// The table of the profile's keys.
#include "reference/key_table.h"

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

#include "report/compliance_checks.h"
#include "video/video_codes.h"

namespace {

// An empty list leaves SpotDurations not set; no number in a list stands for that.
constexpr double kNoNotSet = std::numeric_limits<double>::quiet_NaN();

constexpr Accepted Range(double min, double max, std::string_view takes) {
    return {min, max, {}, takes};
}

constexpr int32_t kPictureStructures[] = {kFieldPicturesAccepted, kFramePicturesAccepted};
// ISO/IEC 11172-3 2.4.2.3 and ISO/IEC 13818-3 2.4.2.3 (lower sampling frequencies).
constexpr int32_t kSamplingFrequencies[] = {48000, 44100, 32000, 24000, 22050, 16000};

constexpr Accepted kCount = Range(0, 65535, "a count from 0 to 65535");
constexpr Accepted kFrames = Range(0, 65535, "a number of frames from 0 to 65535");
constexpr Accepted kSamples = Range(0, INT32_MAX, "a number of samples, 0 or more");
constexpr Accepted kMilliseconds = Range(0, 65535, "milliseconds from 0 to 65535");
constexpr Accepted kTimeDifference =
    Range(0, 65535, "milliseconds from 1 to 65535; 0 leaves it unchecked");
constexpr Accepted kTimeLimit = Range(
    0, INT32_MAX, "seconds of stream time, 300 or more; 0 (or less than 300) reads the whole file");
constexpr Accepted kSwitch = Range(0, 1, "1 (checked) or 0 (not checked)");
constexpr Accepted kYesNo = Range(0, 1, "1 (yes) or 0 (no)");
constexpr Accepted kPackSize = Range(1, 65535, "bytes from 1 to 65535");
constexpr Accepted kSystemVbr = Range(0, 1, "0 (fixed bitrate) or 1 (variable bitrate)");
constexpr Accepted kMuxRateSwitch =
    Range(0, 1, "1 (the mux rate is held to what the streams need) or 0 (it is not)");
constexpr Accepted kMpegAudioStreams =
    Range(0, 1, "1 (the video stream line passes) or 0 (DVD audio substream lines pass)");
constexpr Accepted kMpegVideoStreams = Range(0, 1, "1 (MPEG audio stream lines pass) or 0");
constexpr Accepted kProgramEndCode =
    Range(0, 1, "1 (a missing program end code passes) or 0 (it fails)");
constexpr Accepted kWidth = Range(1, 16383, "pixels from 1 to 16383");
constexpr Accepted kHeight = Range(1, 16383, "lines from 1 to 16383");
// ISO/IEC 13818-2 6.3.3: frame_rate_code, aspect_ratio_information, vbv_buffer_size_value,
// chroma_format; 6.3.10: intra_dc_precision and the picture coding extension's flags.
constexpr Accepted kFrameRateCode =
    Range(1, 8,
          "frame_rate_code: 3 for 25 fps, 4 for 29.97 fps, 1 for 23.976 fps, 2 for 24 fps, "
          "5 for 30 fps, 6 for 50 fps, 7 for 59.94 fps, 8 for 60 fps");
constexpr Accepted kAspectRatioCode =
    Range(1, 4,
          "aspect_ratio_information: 1 for square samples, 2 for 4:3, 3 for 16:9, "
          "4 for 2.21:1");
constexpr Accepted kVbvBufferSize =
    Range(0, 1023, "vbv_buffer_size_value in units of 16 kbit, from 0 to 1023");
constexpr Accepted kProfileAndLevel =
    Range(0, 255,
          "0 (every profile and level other than MP@ML passes), 1 (none passes) or the "
          "profile_and_level_indication that passes, such as 68 for MP@HL or 130 for 422P@HL");
constexpr Accepted kCbrVbr = Range(0, 1, "0 (constant bitrate) or 1 (variable bitrate)");
constexpr Accepted kChromaFormat =
    Range(0, 3, "chroma_format: 1 for 4:2:0, 2 for 4:2:2, 3 for 4:4:4, or 0 for any but 4:2:0");
constexpr Accepted kPictureStructure = {0, 0, kPictureStructures,
                                        "3 (frame pictures) or 0 (field pictures)"};
constexpr Accepted kIntraDcPrecision =
    Range(0, 3, "intra_dc_precision: 0, 1, 2 or 3 for 8, 9, 10 or 11 bits");
constexpr Accepted kTopFieldFirst = Range(0, 1, "top_field_first: 1 or 0");
constexpr Accepted kDctType = Range(0, 1, "frame_pred_frame_dct: 1 (frame) or 0 (field)");
constexpr Accepted kQScaleType = Range(0, 1, "q_scale_type: 1 (nonlinear) or 0 (linear)");
constexpr Accepted kAlternateScan = Range(0, 1, "alternate_scan: 1 (alternate) or 0 (zigzag)");
constexpr Accepted kProgressiveFrame =
    Range(0, 1, "progressive_frame: 1 (progressive) or 0 (interlaced)");
constexpr Accepted kFirstGopClosed = Range(0, 1, "1 (closed) or 0 (open)");
constexpr Accepted kAllGopClosed = Range(0, 1, "1 (all closed) or 0 (at least one open)");
constexpr Accepted kGopLength = Range(1, 65535, "a number of frames from 1 to 65535");
constexpr Accepted kVideoBitrate = Range(0, 1000000, "Kbps from 0 to 1000000");
constexpr Accepted kVideoEndCode =
    Range(0, 1, "1 (a missing sequence end code fails) or 0 (it passes)");
constexpr Accepted kFormatChanges = Range(0, 1, "1 (a change of format passes) or 0 (it fails)");
constexpr Accepted kDecodeAudio =
    Range(0, 1, "1 (decode the audio and measure its levels) or 0 (read its headers only)");
constexpr Accepted kMpegAudioId =
    Range(1, 2, "1 (MPEG-1 audio) or 2 (MPEG-2 audio at lower sampling frequencies)");
constexpr Accepted kLayer = Range(1, 3, "the layer: 1, 2 or 3");
constexpr Accepted kAudioBitrate = Range(0, 448, "kbit/s from 8 to 448 (0: free format)");
constexpr Accepted kSamplingFrequency = {0, 0, kSamplingFrequencies,
                                         "Hz: 48000, 44100, 32000, 24000, 22050 or 16000"};
constexpr Accepted kProtectionBit = Range(0, 1, "protection_bit: 1 (no CRC) or 0 (CRC)");
constexpr Accepted kPrivateBit = Range(0, 1, "private_bit: 1 or 0");
constexpr Accepted kCopyrightBit = Range(0, 1, "copyright: 1 or 0");
constexpr Accepted kOriginalBit = Range(0, 1, "original_copy: 1 or 0");
constexpr Accepted kModeMask =
    Range(0, 15,
          "the modes that pass, added together: 1 stereo, 2 joint stereo, "
          "4 dual channel, 8 single channel (0 to 15)");
constexpr Accepted kModeExtension = Range(0, 3, "mode_extension: 0 to 3");
constexpr Accepted kEmphasis =
    Range(0, 3, "emphasis: 0 (none), 1 (50/15 microsec.), 2 (reserved) or 3 (CCITT J.17)");
constexpr Accepted kDbfs = Range(-200, 0, "dBFS from -200 to 0");
constexpr Accepted kRmsLevel = Range(-100, 50, "dB from -100 to 50");
constexpr Accepted kDbWidth = Range(0, 200, "dB from 0 to 200");
constexpr Accepted kLufs = Range(kAbsoluteGateLufs, 0, "LUFS from -70 to 0");
constexpr Accepted kLu = Range(0, 100, "LU from 0 to 100");
constexpr Accepted kDbtp = Range(-200, 6, "dBTP from -200 to 6");
constexpr Accepted kSpotLength =
    Range(1, 3600, "whole seconds from 1 to 3600 separated by commas, such as 10,15,20,30,60");

// Meanings of coded values: the layer and emphasis of ISO/IEC 11172-3 (2.4.2.3), the flags
// of ISO/IEC 13818-2 (6.3.10), and the profile's own switches. The video headers' codes are
// named as the report names them (FrameRateMeaning and the rest).
constexpr std::span<const CodeName> kNoCodes;
constexpr CodeName kLayers[] = {{1, "Layer I"}, {2, "Layer II"}, {3, "Layer III"}};
constexpr CodeName kEmphases[] = {{0, "none"}, {1, "50/15 us"}, {2, "reserved"}, {3, "CCITT J.17"}};
constexpr CodeName kBitrateModes[] = {{kConstantBitrateAccepted, "constant bitrate"},
                                      {kVariableBitrateAccepted, "variable bitrate"}};
constexpr CodeName kAnyChromaFormat[] = {{0, "any chroma format"}};
constexpr CodeName kPictureStructureNames[] = {{kFieldPicturesAccepted, "field pictures"},
                                               {kFramePicturesAccepted, "frame pictures"}};
constexpr CodeName kOtherThanMainAtMain[] = {{0, "streams other than MP@ML accepted"}};
constexpr CodeName kProtection[] = {{0, "CRC"}, {1, "no CRC"}};
constexpr CodeName kProgramEndCodes[] = {{1, "a missing end code accepted"}};
constexpr CodeName kVideoEndCodes[] = {{0, "a missing end code accepted"},
                                       {1, "end code required"}};
constexpr CodeName kMpegAudioStreamLines[] = {{0, "DVD audio substreams accepted"},
                                              {1, "video streams accepted"}};
constexpr CodeName kMpegVideoStreamLines[] = {{1, "MPEG audio streams accepted"}};
constexpr CodeName kFirstGop[] = {{0, "open"}, {1, "closed"}};
constexpr CodeName kAllGops[] = {{kSomeOpenAccepted, "at least one open"},
                                 {kAllClosedAccepted, "all closed"}};
constexpr CodeName kNoYes[] = {{0, "no"}, {1, "yes"}};
constexpr CodeName kDctTypes[] = {{0, "field"}, {1, "frame"}};
constexpr CodeName kQuantiserScales[] = {{0, "linear"}, {1, "nonlinear"}};
constexpr CodeName kScans[] = {{0, "zigzag"}, {1, "alternate"}};
constexpr CodeName kFrameKinds[] = {{0, "interlaced"}, {1, "progressive"}};
constexpr CodeName kFormatChangeNames[] = {{0, "no format change"}, {1, "format changes accepted"}};
constexpr CodeName kDcPrecisions[] = {{0, "8 bits"}, {1, "9 bits"}, {2, "10 bits"}, {3, "11 bits"}};

// The audio modes a Mode mask accepts (ISO/IEC 11172-3, 2.4.2.3 mode, one bit each).
std::string ModeMeaning(double value) {
    static const char* const kModes[] = {"stereo", "joint stereo", "dual channel",
                                         "single channel"};
    auto mask = static_cast<uint32_t>(static_cast<int64_t>(value));
    std::string text;
    for (uint32_t bit = 0; bit < 4; ++bit) {
        if (!((mask >> bit) & 1)) continue;
        if (!text.empty()) text += ", ";
        text += kModes[bit];
    }
    return text.empty() ? "no mode" : text;
}

// frame_rate_code, aspect_ratio_information, chroma_format and profile_and_level_indication
// of ISO/IEC 13818-2; empty for a reserved code.
bool IsVideoCode(double value) { return value == std::floor(value) && value >= 1 && value <= 255; }

std::string VideoCodeName(double value, const char* (*name)(uint32_t)) {
    const char* text = IsVideoCode(value) ? name(static_cast<uint32_t>(value)) : nullptr;
    return text ? text : "";
}

std::string FrameRateMeaning(double value) { return VideoCodeName(value, FrameRateName); }
std::string AspectRatioMeaning(double value) { return VideoCodeName(value, AspectRatioName); }
std::string ChromaFormatMeaning(double value) { return VideoCodeName(value, ChromaFormatName); }
std::string ProfileAndLevelMeaning(double value) {
    return IsVideoCode(value) ? ProfileAndLevelName(static_cast<uint32_t>(value)) : "";
}

// The units are those of the limit a key's checks compare: ProgramMuxRateMin is a switch,
// yet its check compares bit/s. Kbps counts 1024 bit/s for video, kbit/s 1000 for audio.
constexpr KeyRow kKeys[] = {
    {"System", "SystemHeadersMin", &SystemReference::SystemHeadersMin, kNotSet, "count", &kCount,
     "system headers in the file"},
    {"System", "MPEGPackSize", &SystemReference::MPEGPackSize, kNotSet, "bytes", &kPackSize,
     "bytes: the largest pack"},
    {"System", "PacketsPerPack", &SystemReference::PacketsPerPack, kNotSet, "count", &kCount,
     "the most PES packets in one pack"},
    {"System", "PacketSCRTimingError", &SystemReference::PacketSCRTimingError, kNotSet, "count",
     &kCount,
     "PTS underflows, and separately DTS underflows (a stamp not later than its pack's SCR)"},
    {"System", "PacketPTSDTSOutSync", &SystemReference::PacketPTSDTSOutSync, kNotSet, "count",
     &kCount, "packets whose DTS is later than their PTS"},
    {"System", "SystemVBR", &SystemReference::SystemVBR, kNotSet, "code", &kSystemVbr,
     "0 requires the system header's fixed_flag (CBR), 1 requires VBR", KeyLimit::Written,
     kBitrateModes},
    {"System", "ProgramMuxRateMin", &SystemReference::ProgramMuxRateMin, kNotSet, "bit/s",
     &kMuxRateSwitch, "1 checks the declared mux rate against the recommended minimum",
     KeyLimit::RecommendedMinimum},
    {"System", "VideoStreams", &SystemReference::VideoStreams, kNotSet, "count", &kCount,
     "number of video streams"},
    {"System", "AudioStreams", &SystemReference::AudioStreams, kNotSet, "count", &kCount,
     "number of audio streams (on DVD files AC-3, DTS and LPCM substreams count too)"},
    {"System", "MPEGAudioStreams", &SystemReference::MPEGAudioStreams, kNotSet, "code",
     &kMpegAudioStreams, "1 accepts video streams; 0 accepts DVD audio substreams",
     KeyLimit::Written, kMpegAudioStreamLines},
    {"System", "MPEGVideoStreams", &SystemReference::MPEGVideoStreams, kNotSet, "code",
     &kMpegVideoStreams, "1 accepts MPEG audio streams", KeyLimit::Written, kMpegVideoStreamLines},
    {"System", "ProgramEndCodeRequired", &SystemReference::ProgramEndCodeRequired, kNotSet, "code",
     &kProgramEndCode, "1 accepts a missing program end code", KeyLimit::Written, kProgramEndCodes},
    {"System", "DurationAudioVideoDifference", &SystemReference::DurationAudioVideoDifference,
     kTimeKeyNotSet, "ms", &kTimeDifference, "milliseconds, video against audio playing time"},
    {"System", "DelayAudioVideoDifference", &SystemReference::DelayAudioVideoDifference,
     kTimeKeyNotSet, "ms", &kTimeDifference,
     "milliseconds, first audio PTS against first video PTS"},
    {"System", "AudioVideoStartMax", &SystemReference::AudioVideoStartMax, kNotSet, "ms",
     &kMilliseconds, "milliseconds between the first audio PTS and the first picture's"},
    {"System", "AudioVideoEndMax", &SystemReference::AudioVideoEndMax, kNotSet, "ms",
     &kMilliseconds,
     "milliseconds between the end of the last audio frame and the end of the last picture"},
    {"System", "SpotDurations", &ReferenceProfileData::spotDurations, kNoNotSet, "s", &kSpotLength,
     "the lengths a spot may have, in seconds, separated by commas: 10,15,20,30,60"},
    {"System", "SpotDurationTolerance", &SystemReference::SpotDurationTolerance, kNotSet, "frames",
     &kFrames, "frames either side of the nearest length; not set: 0"},
    {"System", "MuxRateCheck", &SystemReference::MuxRateCheck, kNotSet, "code", &kSwitch,
     "1 fails packs that arrive faster than their program mux rate, and a mux rate above the "
     "system header's rate bound; not set: no lines"},
    {"System", "ClockDiscontinuitiesMax", &SystemReference::ClockDiscontinuitiesMax, kNotSet,
     "count", &kCount,
     "SCRs that go back or leap forward by more than 0.7 s (two spots joined, a clock restarted); "
     "the bundled profile sets 0"},
    {"Processing", "MaxTimeToProcess", &SystemReference::MaxTimeToProcess, kTimeKeyNotSet, "s",
     &kTimeLimit,
     "seconds of stream time to analyse, counted from the first pack; values below 300 mean the "
     "whole file. The first pass stops at the first pack whose SCR is past the limit, and the "
     "streams are read as far as it went."},
    {"Video", "SequenceHeaderAligned", &VideoReference::SequenceHeaderAligned, kNotSet, "code",
     &kYesNo, "1 every sequence header first in its PES packet, 0 not", KeyLimit::Written, kNoYes},
    {"Video", "SequenceHeadersMin", &VideoReference::SequenceHeadersMin, kNotSet, "count", &kCount,
     "sequence headers"},
    {"Video", "HorizontalSize", &VideoReference::HorizontalSize, kNotSet, "pixels", &kWidth,
     "pixels per line"},
    {"Video", "VerticalSize", &VideoReference::VerticalSize, kNotSet, "lines", &kHeight, "lines"},
    {"Video", "FrameRate", &VideoReference::FrameRate, kNotSet, "code", &kFrameRateCode,
     "frame_rate_code: 1 = 23.976, 2 = 24, 3 = 25, 4 = 29.97, 5 = 30, 6 = 50, 7 = 59.94, 8 = 60 "
     "fps (a rate other than 25 and 29.97 fps fails unless the key names it)",
     KeyLimit::Written, kNoCodes, FrameRateMeaning},
    {"Video", "AspectRatio", &VideoReference::AspectRatio, kNotSet, "code", &kAspectRatioCode,
     "aspect_ratio_information: 1 square, 2 4:3, 3 16:9, 4 2.21:1", KeyLimit::Written, kNoCodes,
     AspectRatioMeaning},
    {"Video", "VBVBufferSize", &VideoReference::VBVBufferSize, kNotSet, "16 kbit", &kVbvBufferSize,
     "vbv_buffer_size_value, units of 16 kbit (112 = 224 KB)"},
    {"Video", "ProfileAndLevel", &VideoReference::ProfileAndLevel, kNotSet, "code",
     &kProfileAndLevel,
     "0 accepts streams other than MP@ML; a profile_and_level_indication accepts that one: 130 "
     "(0x82) 422P@HL, 133 (0x85) 422P@ML, 68 (0x44) MP@HL, 70 (0x46) MP@H-14, 74 (0x4A) MP@LL, 20 "
     "(0x14) HP@HL, 22 (0x16) HP@H-14, 24 (0x18) HP@ML, 88 (0x58) SP@ML, 56 (0x38) SNR@ML, 58 "
     "(0x3A) SNR@LL, 38 (0x26) Spatial@H-14; any other value rejects them",
     KeyLimit::Written, kOtherThanMainAtMain, ProfileAndLevelMeaning},
    {"Video", "CBR_VBR", &VideoReference::CBR_VBR, kNotSet, "code", &kCbrVbr,
     "MP@ML streams: 0 constant bitrate, 1 variable (vbv_delay 0xFFFF)", KeyLimit::Written,
     kBitrateModes},
    {"Video", "ChromaFormat", &VideoReference::ChromaFormat, kNotSet, "code", &kChromaFormat,
     "1 requires 4:2:0, 0 anything else, 2 accepts 4:2:2, 3 accepts 4:4:4", KeyLimit::Written,
     kAnyChromaFormat, ChromaFormatMeaning},
    {"Video", "PictureStructure", &VideoReference::PictureStructure, kNotSet, "code",
     &kPictureStructure, "3 frame pictures, 0 field pictures (or mixed)", KeyLimit::Written,
     kPictureStructureNames},
    {"Video", "IntraDCPrecision", &VideoReference::IntraDCPrecision, kNotSet, "code",
     &kIntraDcPrecision, "intra_dc_precision code 0 to 3 (8 to 11 bits)", KeyLimit::Written,
     kDcPrecisions},
    {"Video", "TopFieldFirst", &VideoReference::TopFieldFirst, kNotSet, "code", &kTopFieldFirst,
     "top_field_first 1 or 0", KeyLimit::Written, kNoYes},
    {"Video", "DCTType", &VideoReference::DCTType, kNotSet, "code", &kDctType,
     "frame_pred_frame_dct: 1 frame, 0 field", KeyLimit::Written, kDctTypes},
    {"Video", "QuantizationScale", &VideoReference::QuantizationScale, kNotSet, "code",
     &kQScaleType, "q_scale_type: 1 nonlinear, 0 linear", KeyLimit::Written, kQuantiserScales},
    {"Video", "ScanType", &VideoReference::ScanType, kNotSet, "code", &kAlternateScan,
     "alternate_scan: 1 alternate, 0 zigzag", KeyLimit::Written, kScans},
    {"Video", "ProgressiveFrame", &VideoReference::ProgressiveFrame, kNotSet, "code",
     &kProgressiveFrame, "progressive_frame: 1 progressive, 0 interlaced", KeyLimit::Written,
     kFrameKinds},
    {"Video", "FirstGOPClosed", &VideoReference::FirstGOPClosed, kNotSet, "code", &kFirstGopClosed,
     "1 requires the first GOP closed", KeyLimit::Written, kFirstGop},
    {"Video", "AllGOPClosed", &VideoReference::AllGOPClosed, kNotSet, "code", &kAllGopClosed,
     "1 requires every GOP closed, 0 requires at least one open", KeyLimit::Written, kAllGops},
    {"Video", "GOPLengthMax", &VideoReference::GOPLengthMax, kNotSet, "frames", &kGopLength,
     "coded frames per GOP, first and last GOP not counted"},
    {"Video", "FramesIRequired", &VideoReference::FramesIRequired, kNotSet, "frames", &kFrames,
     "I frames"},
    {"Video", "FramesPRequired", &VideoReference::FramesPRequired, kNotSet, "frames", &kFrames,
     "P frames"},
    {"Video", "FramesBRequired", &VideoReference::FramesBRequired, kNotSet, "frames", &kFrames,
     "B frames"},
    {"Video", "VideoPeakBitrate", &VideoReference::VideoPeakBitrate, kNotSet, "Kbps",
     &kVideoBitrate, "Kbps of 1024 bit/s, over one second"},
    {"Video", "VideoAvgBitrate", &VideoReference::VideoAvgBitrate, kNotSet, "Kbps", &kVideoBitrate,
     "Kbps of 1024 bit/s, average"},
    {"Video", "VideoEndCodeRequired", &VideoReference::VideoEndCodeRequired, kNotSet, "code",
     &kVideoEndCode, "0 accepts a missing sequence end code, 1 fails it", KeyLimit::Written,
     kVideoEndCodes},
    {"Video", "VBVCheck", &VideoReference::VBVCheck, kNotSet, "code", &kSwitch,
     "1 fails a video buffer underflow or overflow"},
    {"Video", "DeclaredBitrateCheck", &VideoReference::DeclaredBitrateCheck, kNotSet, "code",
     &kSwitch,
     "1 fails a one-second peak above the sequence header's bit rate plus its VBV buffer"},
    {"Video", "SpliceReady", &VideoReference::SpliceReady, kNotSet, "code", &kSwitch,
     "1 fails a stream that does not start on an I picture of a closed GOP after a sequence "
     "header, whose last GOP has B pictures that need a picture after the end, or that has a GOP "
     "with a broken link"},
    {"Video", "SequenceHeaderEveryGOP", &VideoReference::SequenceHeaderEveryGOP, kNotSet, "code",
     &kSwitch,
     "1 fails a GOP without a sequence header before it (a spot that may be cut into at any GOP)"},
    {"Video", "FormatChangesAllowed", &VideoReference::FormatChangesAllowed, kNotSet, "code",
     &kFormatChanges,
     "0 fails a sequence whose picture size, aspect ratio, frame rate or chroma format differs "
     "from the one before (a playout server switches its output format mid-break on such a spot); "
     "1 accepts it; the bundled profile sets 0",
     KeyLimit::Written, kFormatChangeNames},
    {"Audio", "DecodeAudio", &AudioReference::DecodeAudio, kNotSet, "code", &kDecodeAudio,
     "1 decodes each MPEG audio stream and measures its levels"},
    {"Audio", "AudioSyncLossesMax", &AudioReference::AudioSyncLossesMax, kNotSet, "count", &kCount,
     "sync losses (bytes skipped before the first frame count as one)"},
    {"Audio", "MPEG", &AudioReference::MPEG, kNotSet, "code", &kMpegAudioId,
     "1 MPEG-1 audio, 2 MPEG-2 audio at lower sampling frequencies; read, governs no check"},
    {"Audio", "Layer", &AudioReference::Layer, kNotSet, "code", &kLayer, "1, 2 or 3",
     KeyLimit::Written, kLayers},
    {"Audio", "AudioBitrate", &AudioReference::AudioBitrate, kNotSet, "kbit/s", &kAudioBitrate,
     "Kbps of 1000 bit/s (the mean of the frames for a switching bitrate)"},
    {"Audio", "SamplingFrequency", &AudioReference::SamplingFrequency, kNotSet, "Hz",
     &kSamplingFrequency, "Hz"},
    {"Audio", "ErrorProtection", &AudioReference::ErrorProtection, kNotSet, "code", &kProtectionBit,
     "protection_bit: 1 no CRC, 0 CRC", KeyLimit::Written, kProtection},
    {"Audio", "PrivateFlag", &AudioReference::PrivateFlag, kNotSet, "code", &kPrivateBit,
     "the header's private_bit"},
    {"Audio", "Mode", &AudioReference::Mode, kNotSet, "bit mask", &kModeMask,
     "1 stereo, 2 joint stereo, 4 dual channel, 8 single channel", KeyLimit::Written, kNoCodes,
     ModeMeaning},
    {"Audio", "ModeExtension", &AudioReference::ModeExtension, kNotSet, "code", &kModeExtension,
     "mode_extension 0 to 3; read, governs no check"},
    {"Audio", "CopyrightFlag", &AudioReference::CopyrightFlag, kNotSet, "code", &kCopyrightBit,
     "the header's copyright bit"},
    {"Audio", "OriginalFlag", &AudioReference::OriginalFlag, kNotSet, "code", &kOriginalBit,
     "the header's original_copy bit"},
    {"Audio", "Emphasis", &AudioReference::Emphasis, kNotSet, "code", &kEmphasis,
     "0 none, 1 50/15 µs, 2 reserved, 3 CCITT J.17", KeyLimit::Written, kEmphases},
    {"Audio", "MaxSamplesClipped", &AudioReference::MaxSamplesClipped, kNotSet, "samples",
     &kSamples, "clipped samples per channel (decode mode)"},
    {"Audio", "MaxDCLevel", &AudioReference::MaxDCLevel, kRealNotSet, "dBFS", &kDbfs,
     "dBFS, per channel (decode mode)"},
    {"Audio", "MaxPeakValue", &AudioReference::MaxPeakValue, kRealNotSet, "dBFS", &kDbfs,
     "dBFS, per channel (decode mode)"},
    {"Audio", "RMSReference", &AudioReference::RMSReference, kRealNotSet, "dB", &kRmsLevel,
     "dB of the RMS scale, the lowest level per channel (decode mode)"},
    {"Audio", "RMSTolerance", &AudioReference::RMSTolerance, kRealNotSet, "dB", &kDbWidth,
     "dB above RMSReference, the highest level per channel (decode mode)",
     KeyLimit::AboveOtherLimit},
    {"Audio", "RMSLeftRightDiff", &AudioReference::RMSLeftRightDiff, kRealNotSet, "dB", &kDbWidth,
     "dB (decode mode)"},
    {"Audio", "LoudnessTarget", &AudioReference::LoudnessTarget, kRealNotSet, "LUFS", &kLufs,
     "integrated loudness in LUFS (decode mode; measures loudness)", KeyLimit::CentreOfLimits},
    {"Audio", "LoudnessTolerance", &AudioReference::LoudnessTolerance, kRealNotSet, "LU", &kLu,
     "LU either side of LoudnessTarget (decode mode; measures loudness)",
     KeyLimit::HalfWidthOfLimits},
    {"Audio", "TruePeakMax", &AudioReference::TruePeakMax, kRealNotSet, "dBTP", &kDbtp,
     "dBTP, each channel (decode mode; measures loudness)"},
    {"Audio", "LoudnessRangeMax", &AudioReference::LoudnessRangeMax, kRealNotSet, "LU", &kLu,
     "LU (decode mode; measures loudness)"},
    {"Audio", "ShortTermLoudnessMax", &AudioReference::ShortTermLoudnessMax, kRealNotSet, "LUFS",
     &kLufs, "LUFS (decode mode; measures loudness)"},
};

template <typename Field>
constexpr size_t RowsOf() {
    return static_cast<size_t>(
        std::count_if(std::begin(kKeys), std::end(kKeys),
                      [](const KeyRow& row) { return std::holds_alternative<Field>(row.field); }));
}

constexpr bool EachFieldAndNameOnce() {
    for (size_t i = 0; i < std::size(kKeys); ++i) {
        for (size_t j = i + 1; j < std::size(kKeys); ++j) {
            if (kKeys[i].field == kKeys[j].field || kKeys[i].name == kKeys[j].name) return false;
        }
    }
    return true;
}

// Every field has exactly one row, so no field is missed by the loader and KeyOf finds each;
// a name is one key whatever its section, so KeyUnit needs no section. (The sizes assume
// fields without padding between them, as they are laid out now.)
static_assert(EachFieldAndNameOnce());
static_assert(sizeof(SystemReference) == RowsOf<int32_t SystemReference::*>() * sizeof(int32_t));
static_assert(sizeof(VideoReference) == RowsOf<int32_t VideoReference::*>() * sizeof(int32_t));
static_assert(sizeof(AudioReference) == RowsOf<int32_t AudioReference::*>() * sizeof(int32_t) +
                                            RowsOf<double AudioReference::*>() * sizeof(double));
static_assert(RowsOf<std::vector<int32_t> ReferenceProfileData::*>() == 1);

}  // namespace

std::span<const KeyRow> KeyTable() { return kKeys; }

const KeyRow* FindKeyRow(std::string_view name) {
    auto found = std::find_if(std::begin(kKeys), std::end(kKeys),
                              [&](const KeyRow& row) { return row.name == name; });
    return found == std::end(kKeys) ? nullptr : found;
}

ValueKind KindOf(const KeyRow& row) {
    if (std::holds_alternative<double AudioReference::*>(row.field)) return ValueKind::Real;
    if (std::holds_alternative<std::vector<int32_t> ReferenceProfileData::*>(row.field)) {
        return ValueKind::List;
    }
    return ValueKind::Integer;
}

std::string KeyUnit(std::string_view key) {
    const KeyRow* row = FindKeyRow(key);
    return row ? std::string(row->unit) : "";
}

std::string KeyMeaning(std::string_view key, double value) {
    const KeyRow* row = FindKeyRow(key);
    if (!row) return "";
    if (row->meaningOf) {
        if (std::string meaning = row->meaningOf(value); !meaning.empty()) return meaning;
    }
    if (value != std::floor(value)) return "";
    auto code = std::find_if(row->codes.begin(), row->codes.end(),
                             [&](const CodeName& name) { return name.code == value; });
    return code == row->codes.end() ? "" : std::string(code->name);
}
