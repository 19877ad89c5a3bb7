// Writing a profile from a reference spot: the format its encoder and multiplexer were set
// to, limits with a margin where a spot of other content moves the figure, and a comment
// for each key that the content or the length decides.
#include "cli/make_profile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "audio/audio_stream_info.h"
#include "reference/key_table.h"
#include "reference/reference_profile.h"
#include "report/report_format.h"
#include "video/video_codes.h"
#include "video/video_statistics.h"

namespace {

constexpr const char* kSections[] = {"System", "Processing", "Video", "Audio"};

// A spot of other content from the same encoder settings moves its bitrates: the limits
// are the measured figure and this much more.
constexpr int kBitrateMarginPercent = 10;
// bit_rate_value with every bit set and no extension (ISO/IEC 13818-2, 6.3.3): no ceiling
// (ISO/IEC 11172-2, 2.4.3.2, calls it variable bit rate; ffmpeg writes it for VBR without
// -maxrate).
constexpr double kNoCeilingBps = 0x3FFFF * double{kBitRateValueUnitBitsPerSecond};

// How --make-profile learns a key.
enum class Learned {
    Measured,     // the measured value, a format its encoder or multiplexer sets
    NoneCounted,  // 0 when the reference has none: one is a fault whatever the content
    LeftOut,      // the content or the length decides it: a comment names it and says why
    FromFigures,  // a limit from the streams' figures (GOP length, bitrates, closed GOPs)
};

struct KeyRule {
    std::string_view section;
    std::string_view key;
    Learned learned;
    std::string_view why;  // for a key left out; for a count of faults, what it counts
};

constexpr std::string_view kHeaders = "a spot has more of them the longer it is";
constexpr std::string_view kFrames = "a spot has more frames of each type the longer it is";
constexpr std::string_view kContent = "it depends on the content";

// Every key not listed here is Learned::Measured.
constexpr KeyRule kRules[] = {
    {"System", "SystemHeadersMin", Learned::LeftOut, kHeaders},
    {"System", "PacketsPerPack", Learned::LeftOut,
     "how many PES packets share a pack depends on where the multiplexer ends them"},
    {"System", "PacketSCRTimingError", Learned::NoneCounted, "PTS and DTS underflows"},
    {"System", "PacketPTSDTSOutSync", Learned::NoneCounted, "DTS later than PTS"},
    {"System", "ClockDiscontinuitiesMax", Learned::NoneCounted, "clock discontinuities"},
    {"Video", "SequenceHeadersMin", Learned::LeftOut, kHeaders},
    {"Video", "SequenceHeaderAligned", Learned::LeftOut,
     "whether a sequence header starts its PES packet depends on the sizes of the pictures "
     "before it, unless the multiplexer aligns them"},
    {"Video", "FramesIRequired", Learned::LeftOut, kFrames},
    {"Video", "FramesPRequired", Learned::LeftOut, kFrames},
    {"Video", "FramesBRequired", Learned::LeftOut, kFrames},
    {"Video", "AllGOPClosed", Learned::FromFigures, {}},
    {"Video", "GOPLengthMax", Learned::FromFigures, {}},
    {"Video", "VideoPeakBitrate", Learned::FromFigures, {}},
    {"Video", "VideoAvgBitrate", Learned::FromFigures, {}},
    {"Audio", "AudioSyncLossesMax", Learned::NoneCounted, "audio sync losses"},
    {"Audio", "MaxSamplesClipped", Learned::NoneCounted, "clipped samples"},
    {"Audio", "MaxDCLevel", Learned::LeftOut, kContent},
    {"Audio", "MaxPeakValue", Learned::LeftOut, kContent},
    {"Audio", "RMSReference", Learned::LeftOut, kContent},
    {"Audio", "RMSTolerance", Learned::LeftOut, "it goes with RMSReference"},
    {"Audio", "RMSLeftRightDiff", Learned::LeftOut, kContent},
};

// The most a key takes (docs/profile.md, "Values a key takes"): a limit beyond is left out
// rather than written as a value the profile reader refuses.
double MostOf(std::string_view key) {
    const KeyRow* row = FindKeyRow(key);
    return row ? row->accepted->max : 0;
}

const KeyRule* RuleOf(const std::string& section, const std::string& key) {
    for (const KeyRule& rule : kRules) {
        if (rule.section == section && rule.key == key) return &rule;
    }
    return nullptr;
}

Learned LearnedOf(const std::string& section, const std::string& key) {
    const KeyRule* rule = RuleOf(section, key);
    return rule ? rule->learned : Learned::Measured;
}

// The loudness a broadcaster asks for is its own choice, never the reference's: no line of
// the measuring run names these keys, so their comments are written here. The figures are
// EBU R 128 (with R 128 s1 for short-form content) and ATSC A/85, as data/profiles sets them.
constexpr std::pair<std::string_view, std::string_view> kLoudnessKeys[] = {
    {"LoudnessTarget", "the house target goes here (EBU R 128: -23 LUFS, ATSC A/85: -24 LKFS)"},
    {"LoudnessTolerance", "it goes with LoudnessTarget (EBU R 128: 0.5 LU, ATSC A/85: 2 LU)"},
    {"TruePeakMax", "it depends on the content (EBU R 128: at most -1 dBTP, ATSC A/85: -2 dBTP)"},
    {"LoudnessRangeMax", kContent},
    {"ShortTermLoudnessMax", "it depends on the content (EBU R 128 s1: at most -18 LUFS)"},
};

struct KeyValue {
    std::string text;     // as the INI file holds it; empty for a key left out
    std::string comment;  // what was measured, or why the key is left out
    size_t order = 0;     // first seen
    double value = 0;
    bool leftOut = false;
};

class ProfileBuilder {
  public:
    // One value per key: the first stream's, or the lowest (highest) over the streams for
    // a minimum (maximum), so that every stream passes. A key that streams measure
    // differently is left out: no one value passes them all.
    void Set(const std::string& section, const std::string& key, double value,
             const std::string& comment, int prefer = 0) {
        auto [entry, added] = Entry(section, key);
        if (added) {
            *entry = {Number(value), comment, entry->order, value, false};
            return;
        }
        if (entry->leftOut || value == entry->value) return;
        if (prefer == 0) {
            LeaveOut(
                section, key,
                "the reference's streams differ (" + entry->text + " and " + Number(value) + ")");
        } else if ((prefer < 0) == (value < entry->value)) {
            *entry = {Number(value), comment, entry->order, value, false};
        }
    }
    void SetText(const std::string& section, const std::string& key, const std::string& text,
                 const std::string& comment) {
        auto [entry, added] = Entry(section, key);
        if (added) *entry = {text, comment, entry->order, 0, false};
    }
    void Mask(const std::string& section, const std::string& key, uint32_t bit,
              const std::string& comment) {
        auto [entry, added] = Entry(section, key);
        uint32_t mask = added ? 0 : static_cast<uint32_t>(entry->value);
        mask |= 1u << bit;
        *entry = {Number(mask), added ? comment : entry->comment, entry->order,
                  static_cast<double>(mask), false};
    }
    // The key is not written; its comment says why. The first reason given stays.
    void LeaveOut(const std::string& section, const std::string& key, const std::string& why) {
        auto [entry, added] = Entry(section, key);
        if (!added && entry->leftOut) return;
        *entry = {"", key + " not set: " + why, entry->order, 0, true};
    }
    bool Has(const std::string& section, const std::string& key) const {
        auto found = keys_.find({section, key});
        return found != keys_.end() && !found->second.leftOut;
    }
    bool Seen(const std::string& section, const std::string& key) const {
        return keys_.count({section, key}) > 0;
    }
    std::string Text(const std::string& referencePath) const;

    static std::string Number(double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.10g", value);
        return text;
    }

  private:
    std::pair<KeyValue*, bool> Entry(const std::string& section, const std::string& key) {
        auto [found, added] = keys_.try_emplace({section, key});
        if (added) found->second.order = order_++;
        return {&found->second, added};
    }

    std::map<std::pair<std::string, std::string>, KeyValue> keys_;
    size_t order_ = 0;
};

// The comment as "; " lines of at most kCommentWidth characters, broken at blanks.
std::string CommentLines(const std::string& comment) {
    constexpr size_t kCommentWidth = 92;
    std::string lines;
    std::string_view rest = comment;
    while (rest.size() + 2 > kCommentWidth) {
        size_t blank = rest.rfind(' ', kCommentWidth - 2);
        if (blank == std::string_view::npos || blank == 0) blank = rest.find(' ');
        if (blank == std::string_view::npos) break;
        lines += "; " + std::string(rest.substr(0, blank)) + "\n";
        rest.remove_prefix(blank + 1);
    }
    return lines + "; " + std::string(rest) + "\n";
}

std::string ProfileBuilder::Text(const std::string& referencePath) const {
    std::string text =
        "; Zembra reference profile learned from the reference spot\n"
        "; \"" +
        referencePath +
        "\".\n"
        "; The format keys hold what that spot measured; the GOP length and the video\n"
        "; bitrates are limits, with the margin their comments give. A key that the content\n"
        "; or the spot's length decides is left out, and a comment names it and says why:\n"
        "; set those to the house rules. A key left out (or set to " +
        std::to_string(kNotSet) + ") judges nothing.\n";
    for (const char* section : kSections) {
        std::vector<std::pair<size_t, std::pair<std::string, const KeyValue*>>> entries;
        for (const auto& [name, entry] : keys_) {
            if (name.first == section) entries.push_back({entry.order, {name.second, &entry}});
        }
        if (entries.empty()) continue;
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        text += "\n[" + std::string(section) + "]\n";
        for (const auto& [order, named] : entries) {
            text += CommentLines(named.second->comment);
            if (!named.second->leftOut) text += named.first + "=" + named.second->text + "\n";
        }
    }
    return text;
}

// The line without its failure mark and trailing blanks.
std::string LineText(const ResultLine& line) {
    std::string text = line.text.starts_with("*") ? line.text.substr(1) : line.text;
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string Measured(const ResultLine& line) { return "measured: " + LineText(line); }

// The picture period of the first video stream and the frame of the first MPEG audio
// stream, in whole ms: how far apart the ends (and starts) of the two streams can move in a
// spot of another length.
struct FramePeriods {
    double pictureMs = 0;
    double audioFrameMs = 0;
};

FramePeriods PeriodsOf(const RunResult& reference) {
    FramePeriods periods;
    if (!reference.videoStreams.empty()) {
        double fields = ExactFieldsPerSecond(reference.videoStreams[0].frameRateCode);
        if (fields > 0) periods.pictureMs = std::ceil(2000.0 / fields);
    }
    if (!reference.audioStreams.empty()) {
        const AudioStreamFigures& audio = reference.audioStreams[0];
        int32_t hz = audio.samplingFrequencyHz;
        // The lower sampling frequencies of ISO/IEC 13818-3 are those below 32 kHz.
        int32_t idBit = hz >= 32000 ? kIdIso11172 : kIdLowSamplingFrequencies;
        int32_t samples = SamplesPerFrame(idBit, audio.layer);
        if (hz > 0 && samples > 0) periods.audioFrameMs = std::ceil(1000.0 * samples / hz);
    }
    return periods;
}

// A count of faults with a line only when there is something to count: the line's count
// when the reference has some (the key is then left out), 0 from AddNoneCounted otherwise.
void AddNoneCounted(ProfileBuilder& builder, const std::string& section, const std::string& key,
                    const ResultLine& line) {
    if (line.check->measured == 0) {
        builder.Set(section, key, 0, Measured(line) + "; one is a fault whatever the content");
    } else {
        builder.LeaveOut(section, key,
                         "the reference has some (" + Measured(line) + "), which is a fault");
    }
}

void AddLimit(ProfileBuilder& builder, const JudgedValue& limit, const ResultLine& line,
              bool isMax) {
    const JudgedCheck& check = *line.check;
    if (limit.key.empty()) return;
    switch (LearnedOf(limit.section, limit.key)) {
        case Learned::LeftOut:
            builder.LeaveOut(
                limit.section, limit.key,
                std::string(RuleOf(limit.section, limit.key)->why) + " (" + Measured(line) + ")");
            return;
        case Learned::NoneCounted:
            AddNoneCounted(builder, limit.section, limit.key, line);
            return;
        case Learned::FromFigures:
            return;
        case Learned::Measured:
            break;
    }
    if (limit.key == "ProgramMuxRateMin") {
        if (check.outcome == CheckOutcome::Pass) {
            builder.Set(limit.section, limit.key, kMuxRateHeldToStreams,
                        Measured(line) + " (at least the recommended rate)");
        } else {
            builder.LeaveOut(
                limit.section, limit.key,
                "the reference's mux rate is below the recommended rate (" + Measured(line) + ")");
        }
        return;
    }
    builder.Set(limit.section, limit.key, check.measured, Measured(line), isMax ? 1 : -1);
}

void AddCheck(ProfileBuilder& builder, const ResultLine& line, const FramePeriods& periods) {
    const JudgedCheck& check = *line.check;
    switch (check.kind) {
        case CheckKind::Equal:
            if (LearnedOf(check.reference->section, check.reference->key) != Learned::Measured) {
                AddLimit(builder, *check.reference, line, false);
                break;
            }
            builder.Set(check.reference->section, check.reference->key,
                        static_cast<int32_t>(static_cast<int64_t>(check.measured)), Measured(line));
            break;
        case CheckKind::Mask:
            builder.Mask(check.reference->section, check.reference->key,
                         static_cast<uint32_t>(check.measured), Measured(line));
            break;
        case CheckKind::Range:
        case CheckKind::RealRange:
            if (check.min) AddLimit(builder, *check.min, line, false);
            if (check.max) AddLimit(builder, *check.max, line, true);
            break;
        case CheckKind::Tolerance: {
            double margin = periods.pictureMs + periods.audioFrameMs;
            double tolerance = std::ceil(std::fabs(check.measured)) + margin;
            if (tolerance > MostOf(check.max->key)) {
                builder.LeaveOut(check.max->section, check.max->key,
                                 "the reference's difference is more than the key takes (" +
                                     Measured(line) + ")");
                break;
            }
            // A tolerance of 0 means not set: at least 1 ms.
            builder.Set(check.max->section, check.max->key, std::max(1.0, tolerance),
                        Measured(line) + "; margin of one picture (" +
                            ProfileBuilder::Number(periods.pictureMs) + " ms) and one audio " +
                            "frame (" + ProfileBuilder::Number(periods.audioFrameMs) +
                            " ms), as a spot of another length ends its streams that far apart",
                        1);
            break;
        }
        case CheckKind::Forced:
            break;
    }
}

// The keys with a line only when there is something to count: 0 when nothing was.
void AddNoneCountedWithoutLines(ProfileBuilder& builder) {
    for (const KeyRule& rule : kRules) {
        std::string section(rule.section), key(rule.key);
        if (rule.learned != Learned::NoneCounted || builder.Seen(section, key)) continue;
        builder.Set(section, key, 0,
                    "no " + std::string(rule.why) +
                        " in the reference; one is a fault whatever the content");
    }
}

// The bitrate a stream's sequence header allows over one second (Kbps): its bit_rate, and
// for the peak also the bits its VBV buffer holds, which a second may empty on top; none
// when the header sets no ceiling.
std::optional<double> DeclaredKbps(const VideoStreamFigures& video, bool withBuffer) {
    auto bps = static_cast<double>(video.bitRateBps);
    if (bps <= 0 || bps == kNoCeilingBps) return std::nullopt;
    double bits = bps + (withBuffer ? static_cast<double>(video.vbvBufferBits) : 0.0);
    return std::ceil(bits / kBitsPerKbit);
}

// VideoPeakBitrate or VideoAvgBitrate: over the streams, the highest of the measured figure
// with the margin and what the sequence header allows.
void AddBitrate(ProfileBuilder& builder, const std::vector<VideoStreamFigures>& videoStreams,
                const std::string& key, double VideoStreamFigures::*figure, const char* what,
                bool peak) {
    for (const VideoStreamFigures& video : videoStreams) {
        double measured = video.*figure;
        double withMargin = std::ceil(measured * (100 + kBitrateMarginPercent) / 100);
        std::optional<double> declared = DeclaredKbps(video, peak);
        double limit = std::max(withMargin, declared.value_or(0));
        std::string comment = "measured " + ProfileBuilder::Number(std::floor(measured)) +
                              " Kbps " + what + ", " + std::to_string(kBitrateMarginPercent) +
                              " % margin: " + ProfileBuilder::Number(withMargin) + " Kbps";
        if (!declared) {
            comment += " (the sequence header sets no ceiling)";
        } else if (peak) {
            comment += "; the sequence header's bit_rate and VBV buffer allow " +
                       ProfileBuilder::Number(*declared) + " Kbps over one second: the higher";
        } else {
            comment += "; the sequence header's bit_rate is " + ProfileBuilder::Number(*declared) +
                       " Kbps: the higher";
        }
        if (limit <= 0) {
            builder.LeaveOut("Video", key,
                             peak ? "the reference is shorter than one second and its sequence "
                                    "header sets no ceiling"
                                  : "the reference has no video to measure and its sequence "
                                    "header sets no ceiling");
        } else if (limit > MostOf(key)) {
            builder.LeaveOut("Video", key,
                             "the limit is more than the key takes (" + comment + ")");
        } else {
            builder.Set("Video", key, limit, comment, 1);
        }
    }
}

void AddVideoFigures(ProfileBuilder& builder,
                     const std::vector<VideoStreamFigures>& videoStreams) {
    if (videoStreams.empty()) return;
    // Both GOP length lines are judged from 1 to GOPLengthMax. An encoder set to a GOP
    // length never codes a longer one, whatever the content: no margin.
    double longest = 0;
    for (const VideoStreamFigures& video : videoStreams) {
        longest = std::max(longest, static_cast<double>(video.gopLengthMax));
    }
    if (longest <= 0) {
        builder.LeaveOut("Video", "GOPLengthMax",
                         "the reference has fewer than three GOP headers, so no GOP length was "
                         "measured (its two GOP length lines read 0, which fails whatever a "
                         "profile says)");
    } else if (longest > MostOf("GOPLengthMax")) {
        builder.LeaveOut("Video", "GOPLengthMax", "the reference's GOPs are longer than it takes");
    } else {
        builder.Set("Video", "GOPLengthMax", longest,
                    "measured " + ProfileBuilder::Number(longest) +
                        " frames in the longest GOP (without first & last), the encoder's GOP "
                        "length: no margin");
    }
    // An encoder of open GOPs still closes the first, so a spot of one GOP has every GOP
    // closed: only a reference of several GOPs, all closed, shows an encoder that closes
    // them all; AllGOPClosed=0 (at least one open) would fail a short spot of open GOPs.
    bool allClosed = true;
    double fewestGops = 0;
    for (size_t i = 0; i < videoStreams.size(); ++i) {
        double gops = videoStreams[i].gopCount;
        allClosed = allClosed && videoStreams[i].closedGops == gops;
        fewestGops = i == 0 ? gops : std::min(fewestGops, gops);
    }
    if (!allClosed) {
        builder.LeaveOut("Video", "AllGOPClosed",
                         "the reference has open GOPs, and 0 (at least one open) would fail a "
                         "spot of one GOP, which its encoder closes");
    } else if (fewestGops < 2) {
        builder.LeaveOut("Video", "AllGOPClosed",
                         "one GOP, closed like the first of any spot, does not show whether the "
                         "encoder closes them all");
    } else {
        builder.Set(
            "Video", "AllGOPClosed", kAllClosedAccepted,
            "measured: every GOP closed (" + ProfileBuilder::Number(fewestGops) + " GOPs or more)");
    }
    AddBitrate(builder, videoStreams, "VideoAvgBitrate", &VideoStreamFigures::averageKbps,
               "average", false);
    AddBitrate(builder, videoStreams, "VideoPeakBitrate", &VideoStreamFigures::peakKbps,
               "peak (one second)", true);
}

}  // namespace

void LoadMeasuringProfile() {
    LoadNoReferenceProfile();
    ReferenceProfile.audio.DecodeAudio = kDecodeAudioOn;
    ReferenceProfile.system.ProgramMuxRateMin = kMuxRateHeldToStreams;
}

std::string ProfileText(const RunResult& reference) {
    ProfileBuilder builder;
    FramePeriods periods = PeriodsOf(reference);
    for (const ResultLine& line : reference.lines) {
        if (line.check) AddCheck(builder, line, periods);
    }
    AddNoneCountedWithoutLines(builder);
    builder.SetText("Processing", "MaxTimeToProcess", std::to_string(kTimeKeyNotSet),
                    "the whole file is analysed");
    AddVideoFigures(builder, reference.videoStreams);
    // A reference whose format changes has the line that sets the key to accept it.
    if (!reference.videoStreams.empty()) {
        builder.SetText("Video", "FormatChangesAllowed", "0",
                        "one format throughout the reference");
    }
    // A stream judged by CBR_VBR is MP@ML; ProfileAndLevel 1 rejects every other.
    if (builder.Has("Video", "CBR_VBR")) {
        builder.SetText("Video", "ProfileAndLevel", "1", "measured: MPEG-2 MP@ML");
    }
    // The bitrate line of audio whose frames switch bitrate gives their mean, which the
    // content decides.
    for (const AudioStreamFigures& audio : reference.audioStreams) {
        int lowest = audio.bitrateMinKbps, highest = audio.bitrateMaxKbps;
        if (lowest == highest) continue;
        builder.LeaveOut("Audio", "AudioBitrate",
                         "the audio frames switch bitrate (" + std::to_string(lowest) + " to " +
                             std::to_string(highest) +
                             " kbit/s), and their mean depends on the content");
    }
    if (!reference.audioStreams.empty()) {
        builder.SetText("Audio", "DecodeAudio", std::to_string(kDecodeAudioOn),
                        "the audio is decoded: clipping is judged, its levels are information");
        for (const auto& [key, why] : kLoudnessKeys) {
            builder.LeaveOut("Audio", std::string(key), std::string(why));
        }
    }
    return builder.Text(reference.path);
}
