// Loading the reference profile.
#include "reference/reference_profile.h"

#include <unistd.h>

#include <climits>

#include "reference/ini_file.h"
#include "report/compliance_checks.h"

ReferenceProfileData ReferenceProfile{};

namespace {

constexpr int32_t kTimeKeyNotSet = 0;

void LoadSystem(const IniFile& ini, SystemReference& s) {
    auto read = [&](const char* key, int32_t defaultValue = kNotSet) {
        return ini.ReadInt("System", key, defaultValue);
    };
    s.SystemHeadersMin = read("SystemHeadersMin");
    s.MPEGPackSize = read("MPEGPackSize");
    s.PacketsPerPack = read("PacketsPerPack");
    s.PacketSCRTimingError = read("PacketSCRTimingError");
    s.PacketPTSDTSOutSync = read("PacketPTSDTSOutSync");
    s.SystemVBR = read("SystemVBR");
    s.ProgramMuxRateMin = read("ProgramMuxRateMin");
    s.VideoStreams = read("VideoStreams");
    s.AudioStreams = read("AudioStreams");
    s.MPEGAudioStreams = read("MPEGAudioStreams");
    s.MPEGVideoStreams = read("MPEGVideoStreams");
    s.ProgramEndCodeRequired = read("ProgramEndCodeRequired");
    s.DurationAudioVideoDifference = read("DurationAudioVideoDifference", kTimeKeyNotSet);
    s.DelayAudioVideoDifference = read("DelayAudioVideoDifference", kTimeKeyNotSet);
    s.MaxTimeToProcess = ini.ReadInt("Processing", "MaxTimeToProcess", kTimeKeyNotSet);
}

void LoadVideo(const IniFile& ini, VideoReference& v) {
    auto read = [&](const char* key) { return ini.ReadInt("Video", key, kNotSet); };
    v.SequenceHeaderAligned = read("SequenceHeaderAligned");
    v.SequenceHeadersMin = read("SequenceHeadersMin");
    v.HorizontalSize = read("HorizontalSize");
    v.VerticalSize = read("VerticalSize");
    v.FrameRate = read("FrameRate");
    v.AspectRatio = read("AspectRatio");
    v.VBVBufferSize = read("VBVBufferSize");
    v.ProfileAndLevel = read("ProfileAndLevel");
    v.CBR_VBR = read("CBR_VBR");
    v.ChromaFormat = read("ChromaFormat");
    v.PictureStructure = read("PictureStructure");
    v.IntraDCPrecision = read("IntraDCPrecision");
    v.TopFieldFirst = read("TopFieldFirst");
    v.DCTType = read("DCTType");
    v.QuantizationScale = read("QuantizationScale");
    v.ScanType = read("ScanType");
    v.ProgressiveFrame = read("ProgressiveFrame");
    v.FirstGOPClosed = read("FirstGOPClosed");
    v.AllGOPClosed = read("AllGOPClosed");
    v.GOPLengthMax = read("GOPLengthMax");
    v.FramesIRequired = read("FramesIRequired");
    v.FramesPRequired = read("FramesPRequired");
    v.FramesBRequired = read("FramesBRequired");
    v.VideoPeakBitrate = read("VideoPeakBitrate");
    v.VideoAvgBitrate = read("VideoAvgBitrate");
    v.VideoEndCodeRequired = read("VideoEndCodeRequired");
}

void LoadAudio(const IniFile& ini, AudioReference& a) {
    auto read = [&](const char* key) { return ini.ReadInt("Audio", key, kNotSet); };
    auto readReal = [&](const char* key) { return ini.ReadReal("Audio", key, kRealNotSet); };
    a.DecodeAudio = read("DecodeAudio");
    a.AudioSyncLossesMax = read("AudioSyncLossesMax");
    a.MPEG = read("MPEG");
    a.Layer = read("Layer");
    a.AudioBitrate = read("AudioBitrate");
    a.SamplingFrequency = read("SamplingFrequency");
    a.ErrorProtection = read("ErrorProtection");
    a.PrivateFlag = read("PrivateFlag");
    a.Mode = read("Mode");
    a.ModeExtension = read("ModeExtension");
    a.CopyrightFlag = read("CopyrightFlag");
    a.OriginalFlag = read("OriginalFlag");
    a.Emphasis = read("Emphasis");
    a.MaxSamplesClipped = read("MaxSamplesClipped");
    a.MaxDCLevel = readReal("MaxDCLevel");
    a.MaxPeakValue = readReal("MaxPeakValue");
    a.RMSReference = readReal("RMSReference");
    a.RMSTolerance = readReal("RMSTolerance");
    a.RMSLeftRightDiff = readReal("RMSLeftRightDiff");
}

}  // namespace

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "./";
    std::string exe(path, static_cast<size_t>(length));
    return exe.substr(0, exe.rfind('/') + 1);
}

std::string DefaultReferenceProfilePath() { return ExecutableDirectory() + "MpegReference.ini"; }

void LoadReferenceProfileFrom(const std::string& path) {
    IniFile ini = IniFile::Load(path);
    LoadSystem(ini, ReferenceProfile.system);
    LoadVideo(ini, ReferenceProfile.video);
    LoadAudio(ini, ReferenceProfile.audio);
}

void LoadReferenceProfile() { LoadReferenceProfileFrom(DefaultReferenceProfilePath()); }
