// Run results and their JSON form.
#include "output/result_json.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "output/json_report.h"
#include "run/enum_names.h"

using json = nlohmann::ordered_json;

namespace {

// The value a name of the document stands for; a name no value has is no run result.
template <typename Enum>
Enum KnownValue(std::optional<Enum> value, const std::string& name) {
    if (!value) throw json::other_error::create(501, "unknown name \"" + name + "\"", nullptr);
    return *value;
}

constexpr EnumNames<CheckKind, 6> kCheckKindNames = {
    {{CheckKind::Equal, "equal"},
     {CheckKind::Range, "range"},
     {CheckKind::RealRange, "realRange"},
     {CheckKind::Tolerance, "tolerance"},
     {CheckKind::Mask, "mask"},
     {CheckKind::Forced, "forced"}}};

constexpr EnumNames<CheckOutcome, 4> kOutcomeNames = {
    {{CheckOutcome::Information, "information"},
     {CheckOutcome::Pass, "pass"},
     {CheckOutcome::Warning, "warning"},
     {CheckOutcome::Failure, "failure"}}};

json ValueJson(const std::optional<JudgedValue>& value, const std::string& unit) {
    if (!value) return nullptr;
    json key = nullptr;
    if (!value->key.empty()) key = {{"section", value->section}, {"name", value->key}};
    return {{"key", key}, {"value", value->value}, {"unit", unit}, {"set", value->set}};
}

std::optional<JudgedValue> ValueFromJson(const json& j) {
    if (j.is_null()) return std::nullopt;
    JudgedValue value;
    if (!j.at("key").is_null()) {
        value.section = j.at("key").at("section").get<std::string>();
        value.key = j.at("key").at("name").get<std::string>();
    }
    value.value = j.at("value").get<double>();
    value.set = j.at("set").get<bool>();
    return value;
}

// A mask check measures a bit's number (the header's mode code, ISO/IEC 11172-3, 2.4.2.3);
// the JSON writes the bit itself, as the key's mask holds it: joint stereo, 1, is 2, which
// Mode=3 holds.
double MeasuredJson(const JudgedCheck& check) {
    return check.kind == CheckKind::Mask ? std::ldexp(1.0, static_cast<int>(check.measured))
                                         : check.measured;
}

double MeasuredFromJson(CheckKind kind, double value) {
    return kind == CheckKind::Mask && value > 0 ? std::ilogb(value) : value;
}

json CheckJson(const JudgedCheck& check) {
    return {{"type", NameOf(kCheckKindNames, check.kind)},
            {"outcome", NameOf(kOutcomeNames, check.outcome)},
            {"measured", {{"value", MeasuredJson(check)}, {"unit", check.unit}}},
            {"reference", ValueJson(check.reference, check.unit)},
            {"min", ValueJson(check.min, check.unit)},
            {"max", ValueJson(check.max, check.unit)}};
}

JudgedCheck CheckFromJson(const json& j) {
    JudgedCheck check;
    std::string kind = j.at("type").get<std::string>();
    check.kind = KnownValue(Named(kCheckKindNames, kind), kind);
    std::string outcome = j.at("outcome").get<std::string>();
    check.outcome = KnownValue(Named(kOutcomeNames, outcome), outcome);
    check.measured = MeasuredFromJson(check.kind, j.at("measured").at("value").get<double>());
    check.unit = j.at("measured").at("unit").get<std::string>();
    check.reference = ValueFromJson(j.at("reference"));
    check.min = ValueFromJson(j.at("min"));
    check.max = ValueFromJson(j.at("max"));
    return check;
}

json LineJson(const ResultLine& line) {
    json j = {{"kind", LineKindName(line.kind)}, {"text", line.text}};
    if (line.check) j["check"] = CheckJson(*line.check);
    if (line.streamStart) j["streamStart"] = true;
    return j;
}

ResultLine LineFromJson(const json& j) {
    ResultLine line;
    std::string kind = j.at("kind").get<std::string>();
    line.kind = KnownValue(LineKindNamed(kind), kind);
    line.text = j.at("text").get<std::string>();
    if (j.contains("check")) line.check = CheckFromJson(j.at("check"));
    line.streamStart = j.value("streamStart", false);
    return line;
}

// JSON has no infinity: a silent reading travels as null.
double DecibelsFromJson(const json& value) {
    return value.is_null() ? -std::numeric_limits<double>::infinity() : value.get<double>();
}

json ProgramStreamJson(const ProgramStreamFigures& p) {
    json streams = json::array();
    for (const StreamPackets& s : p.streams) {
        streams.push_back({{"id", s.id}, {"packets", s.packets}, {"payloadBytes", s.payloadBytes}});
    }
    return {{"fileSizeBytes", p.fileSizeBytes ? json(*p.fileSizeBytes) : json(nullptr)},
            {"dvd", p.dvd},
            {"endCode", p.endCode},
            {"packs", p.packs},
            {"systemHeaders", p.systemHeaders},
            {"pesPackets", p.pesPackets},
            {"packSizeMax", p.packSizeMax},
            {"packetsPerPackMax", p.packetsPerPackMax},
            {"pesPacketLengthMax", p.pesPacketLengthMax},
            {"programMuxRateBps", p.programMuxRateBps},
            {"rateBoundBps", p.rateBoundBps},
            {"fixedBitrate", p.fixedBitrate},
            {"firstScrMs", p.firstScrMs},
            {"ptsUnderflows", p.ptsUnderflows},
            {"dtsUnderflows", p.dtsUnderflows},
            {"ptsDtsOutOfSync", p.ptsDtsOutOfSync},
            {"clockDiscontinuities", p.clockDiscontinuities},
            {"shortPesPackets", p.shortPesPackets},
            {"packsAfterEndCode", p.packsAfterEndCode},
            {"videoStreams", p.videoStreams},
            {"audioStreams", p.audioStreams},
            {"streams", streams}};
}

ProgramStreamFigures ProgramStreamFromJson(const json& j) {
    ProgramStreamFigures p;
    if (!j.at("fileSizeBytes").is_null()) p.fileSizeBytes = j.at("fileSizeBytes").get<uint64_t>();
    j.at("dvd").get_to(p.dvd);
    j.at("endCode").get_to(p.endCode);
    j.at("packs").get_to(p.packs);
    j.at("systemHeaders").get_to(p.systemHeaders);
    j.at("pesPackets").get_to(p.pesPackets);
    j.at("packSizeMax").get_to(p.packSizeMax);
    j.at("packetsPerPackMax").get_to(p.packetsPerPackMax);
    j.at("pesPacketLengthMax").get_to(p.pesPacketLengthMax);
    j.at("programMuxRateBps").get_to(p.programMuxRateBps);
    j.at("rateBoundBps").get_to(p.rateBoundBps);
    j.at("fixedBitrate").get_to(p.fixedBitrate);
    j.at("firstScrMs").get_to(p.firstScrMs);
    j.at("ptsUnderflows").get_to(p.ptsUnderflows);
    j.at("dtsUnderflows").get_to(p.dtsUnderflows);
    j.at("ptsDtsOutOfSync").get_to(p.ptsDtsOutOfSync);
    j.at("clockDiscontinuities").get_to(p.clockDiscontinuities);
    j.at("shortPesPackets").get_to(p.shortPesPackets);
    j.at("packsAfterEndCode").get_to(p.packsAfterEndCode);
    j.at("videoStreams").get_to(p.videoStreams);
    j.at("audioStreams").get_to(p.audioStreams);
    for (const json& s : j.at("streams")) {
        p.streams.push_back({s.at("id").get<int>(), s.at("packets").get<uint32_t>(),
                             s.at("payloadBytes").get<uint64_t>()});
    }
    return p;
}

json GopJson(const GopRow& gop) {
    return {{"timeCode", gop.timeCode},
            {"length", gop.length},
            {"structure", gop.structure},
            {"closed", gop.closed},
            {"sequenceHeader", gop.sequenceHeader},
            {"brokenLink", gop.brokenLink}};
}

GopRow GopFromJson(const json& j) {
    return {j.at("timeCode").get<std::string>(),  j.at("length").get<uint32_t>(),
            j.at("structure").get<std::string>(), j.at("closed").get<bool>(),
            j.at("sequenceHeader").get<bool>(),   j.at("brokenLink").get<bool>()};
}

// Each picture as [picture, seconds, beforeBits, afterBits]: a long programme has many.
json VbvPointJson(const VbvPoint& point) {
    return {point.picture, point.seconds, point.beforeBits, point.afterBits};
}

json VbvJson(const VideoSeries& series) {
    json occupancy = json::array();
    for (const VbvPoint& point : series.vbv) occupancy.push_back(VbvPointJson(point));
    return {{"bufferBits", series.vbvBufferBits}, {"occupancy", occupancy}};
}

void ReadVbvJson(const json& vbv, VideoSeries& series) {
    series.vbvBufferBits = vbv.at("bufferBits").get<double>();
    for (const json& point : vbv.at("occupancy")) {
        series.vbv.push_back({point.at(0).get<uint32_t>(), point.at(1).get<double>(),
                              point.at(2).get<double>(), point.at(3).get<double>()});
    }
}

// The figures without the series, which VideoJson and VideoText add after them.
json VideoFiguresJson(const VideoStreamFigures& v) {
    return {{"id", v.id},
              {"status", v.status},
              {"horizontalSize", v.horizontalSize},
              {"verticalSize", v.verticalSize},
              {"aspectRatioCode", v.aspectRatioCode},
              {"frameRateCode", v.frameRateCode},
              {"nominalFrameRate", v.nominalFrameRate},
              {"bitRateBps", v.bitRateBps},
              {"vbvBufferSize", v.vbvBufferSize},
              {"vbvBufferBits", v.vbvBufferBits},
              {"profileAndLevel", v.profileAndLevel},
              {"chromaFormat", v.chromaFormat},
              {"pictureStructure", v.pictureStructure},
              {"progressiveFrame", v.progressiveFrame},
              {"topFieldFirst", v.topFieldFirst},
              {"vbvDelay", v.vbvDelay},
              {"sequenceHeaders", v.sequenceHeaders},
              {"gopCount", v.gopCount},
              {"gopLengthMax", v.gopLengthMax},
              {"gopLengthMin", v.gopLengthMin},
              {"closedGops", v.closedGops},
              {"firstGopClosed", v.firstGopClosed},
              {"frames", v.frames},
              {"undisplayedFrames", v.undisplayedFrames},
              {"formatChanges", v.formatChanges},
              {"brokenLinks", v.brokenLinks},
              {"iFrames", v.iFrames},
              {"pFrames", v.pFrames},
              {"bFrames", v.bFrames},
              {"frameSizeMax", v.frameSizeMax},
              {"frameSizeMin", v.frameSizeMin},
              {"durationSeconds", v.durationSeconds},
              {"firstPtsMs", v.firstPtsMs},
              {"averageKbps", v.averageKbps},
              {"peakKbps", v.peakKbps}};
}

json BitrateJson(const VideoSeries& series) {
    return {{"kilobitsPerSecond", series.kilobitsPerSecond}, {"averageKbps", series.averageKbps}};
}

json VideoJson(const VideoStreamFigures& v) {
    json j = VideoFiguresJson(v);
    json gops = json::array();
    for (const GopRow& gop : v.series.gops) gops.push_back(GopJson(gop));
    j["gops"] = std::move(gops);
    j["bitrate"] = BitrateJson(v.series);
    if (v.series.vbvBufferBits > 0) j["vbv"] = VbvJson(v.series);
    return j;
}

VideoStreamFigures VideoFromJson(const json& j) {
    VideoStreamFigures v;
    j.at("id").get_to(v.id);
    j.at("status").get_to(v.status);
    j.at("horizontalSize").get_to(v.horizontalSize);
    j.at("verticalSize").get_to(v.verticalSize);
    j.at("aspectRatioCode").get_to(v.aspectRatioCode);
    j.at("frameRateCode").get_to(v.frameRateCode);
    j.at("nominalFrameRate").get_to(v.nominalFrameRate);
    j.at("bitRateBps").get_to(v.bitRateBps);
    j.at("vbvBufferSize").get_to(v.vbvBufferSize);
    j.at("vbvBufferBits").get_to(v.vbvBufferBits);
    j.at("profileAndLevel").get_to(v.profileAndLevel);
    j.at("chromaFormat").get_to(v.chromaFormat);
    j.at("pictureStructure").get_to(v.pictureStructure);
    j.at("progressiveFrame").get_to(v.progressiveFrame);
    j.at("topFieldFirst").get_to(v.topFieldFirst);
    j.at("vbvDelay").get_to(v.vbvDelay);
    j.at("sequenceHeaders").get_to(v.sequenceHeaders);
    j.at("gopCount").get_to(v.gopCount);
    j.at("gopLengthMax").get_to(v.gopLengthMax);
    j.at("gopLengthMin").get_to(v.gopLengthMin);
    j.at("closedGops").get_to(v.closedGops);
    j.at("firstGopClosed").get_to(v.firstGopClosed);
    j.at("frames").get_to(v.frames);
    j.at("undisplayedFrames").get_to(v.undisplayedFrames);
    j.at("formatChanges").get_to(v.formatChanges);
    j.at("brokenLinks").get_to(v.brokenLinks);
    j.at("iFrames").get_to(v.iFrames);
    j.at("pFrames").get_to(v.pFrames);
    j.at("bFrames").get_to(v.bFrames);
    j.at("frameSizeMax").get_to(v.frameSizeMax);
    j.at("frameSizeMin").get_to(v.frameSizeMin);
    j.at("durationSeconds").get_to(v.durationSeconds);
    j.at("firstPtsMs").get_to(v.firstPtsMs);
    j.at("averageKbps").get_to(v.averageKbps);
    j.at("peakKbps").get_to(v.peakKbps);
    v.series.streamId = v.id;
    if (!j.contains("gops")) return v;  // the series travelled elsewhere
    for (const json& gop : j.at("gops")) v.series.gops.push_back(GopFromJson(gop));
    const json& bitrate = j.at("bitrate");
    bitrate.at("kilobitsPerSecond").get_to(v.series.kilobitsPerSecond);
    bitrate.at("averageKbps").get_to(v.series.averageKbps);
    if (j.contains("vbv")) ReadVbvJson(j.at("vbv"), v.series);
    return v;
}

json LevelsJson(const AudioLevels& l) {
    return {{"dcLeftDbfs", l.dcLeftDbfs},       {"dcRightDbfs", l.dcRightDbfs},
            {"peakLeftDbfs", l.peakLeftDbfs},   {"peakRightDbfs", l.peakRightDbfs},
            {"rmsLeftDb", l.rmsLeftDb},         {"rmsRightDb", l.rmsRightDb},
            {"clippedLeft", l.clippedLeft},     {"clippedRight", l.clippedRight},
            {"decodedSeconds", l.decodedSeconds}};
}

AudioLevels LevelsFromJson(const json& j) {
    return {DecibelsFromJson(j.at("dcLeftDbfs")),   DecibelsFromJson(j.at("dcRightDbfs")),
            DecibelsFromJson(j.at("peakLeftDbfs")), DecibelsFromJson(j.at("peakRightDbfs")),
            DecibelsFromJson(j.at("rmsLeftDb")),    DecibelsFromJson(j.at("rmsRightDb")),
            j.at("clippedLeft").get<int32_t>(),     j.at("clippedRight").get<int32_t>(),
            j.at("decodedSeconds").get<double>()};
}

json CurvePointJson(const LoudnessPoint& p) {
    return {p.seconds, p.momentaryLufs, p.shortTermLufs};
}

// -infinity (silence) is written as null.
json LoudnessJson(const LoudnessFigures& l, bool curve) {
    json j = {{"integratedLufs", l.integratedLufs},
              {"rangeLu", l.rangeLu},
              {"maxMomentaryLufs", l.maxMomentaryLufs},
              {"maxShortTermLufs", l.maxShortTermLufs},
              {"truePeakDbtp", l.truePeakDbtp}};
    if (curve && l.curve) {
        json points = json::array();
        for (const LoudnessPoint& p : l.curve->points) points.push_back(CurvePointJson(p));
        j["curve"] = points;
    }
    return j;
}

LoudnessFigures LoudnessFromJson(int id, const json& j) {
    LoudnessFigures l;
    l.integratedLufs = DecibelsFromJson(j.at("integratedLufs"));
    l.rangeLu = j.at("rangeLu").get<double>();
    l.maxMomentaryLufs = DecibelsFromJson(j.at("maxMomentaryLufs"));
    l.maxShortTermLufs = DecibelsFromJson(j.at("maxShortTermLufs"));
    for (const json& peak : j.at("truePeakDbtp")) l.truePeakDbtp.push_back(DecibelsFromJson(peak));
    if (j.contains("curve")) {
        LoudnessCurve curve{id, {}};
        for (const json& p : j.at("curve")) {
            curve.points.push_back(
                {p.at(0).get<double>(), DecibelsFromJson(p.at(1)), DecibelsFromJson(p.at(2))});
        }
        l.curve = std::move(curve);
    }
    return l;
}

json AudioJson(const AudioStreamFigures& a, bool curve) {
    json j = {{"id", a.id},
              {"status", a.status},
              {"format", a.format},
              {"layer", a.layer},
              {"bitrateKbps", a.bitrateKbps},
              {"bitrateMinKbps", a.bitrateMinKbps},
              {"bitrateMaxKbps", a.bitrateMaxKbps},
              {"samplingFrequencyHz", a.samplingFrequencyHz},
              {"mode", a.mode},
              {"modeExtension", a.modeExtension},
              {"protection", a.protection},
              {"emphasis", a.emphasis},
              {"syncWords", a.syncWords},
              {"syncLosses", a.syncLosses},
              {"firstPtsMs", a.firstPtsMs},
              {"decoded", a.decoded}};
    if (a.levels) j["levels"] = LevelsJson(*a.levels);
    if (a.loudness) j["loudness"] = LoudnessJson(*a.loudness, curve);
    return j;
}

AudioStreamFigures AudioFromJson(const json& j) {
    AudioStreamFigures a;
    j.at("id").get_to(a.id);
    j.at("status").get_to(a.status);
    j.at("format").get_to(a.format);
    j.at("layer").get_to(a.layer);
    j.at("bitrateKbps").get_to(a.bitrateKbps);
    j.at("bitrateMinKbps").get_to(a.bitrateMinKbps);
    j.at("bitrateMaxKbps").get_to(a.bitrateMaxKbps);
    j.at("samplingFrequencyHz").get_to(a.samplingFrequencyHz);
    j.at("mode").get_to(a.mode);
    j.at("modeExtension").get_to(a.modeExtension);
    j.at("protection").get_to(a.protection);
    j.at("emphasis").get_to(a.emphasis);
    j.at("syncWords").get_to(a.syncWords);
    j.at("syncLosses").get_to(a.syncLosses);
    j.at("firstPtsMs").get_to(a.firstPtsMs);
    j.at("decoded").get_to(a.decoded);
    if (j.contains("levels")) a.levels = LevelsFromJson(j.at("levels"));
    if (j.contains("loudness")) a.loudness = LoudnessFromJson(a.id, j.at("loudness"));
    return a;
}

// Standard base64 (RFC 4648, section 4), with its padding.
std::string Base64(const std::string& bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 16;
        if (at + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
        if (at + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 2]);
        for (size_t digit = 0; digit < 4; ++digit) {
            text += at + digit <= bytes.size() ? kDigits[(group >> (18 - 6 * digit)) & 0x3F] : '=';
        }
    }
    return text;
}

bool IsUtf8(const std::string& text) {
    try {
        json(text).dump();
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

}  // namespace

json ToJson(const RunResult& result, bool series) {
    json lines = json::array();
    for (const ResultLine& line : result.lines) lines.push_back(LineJson(line));
    json file = {{"path", result.path},
                 {"size", result.sizeBytes ? json(*result.sizeBytes) : json(nullptr)},
                 {"verdict", VerdictName(result.verdict)},
                 {"reason", result.reason.empty() ? json(nullptr) : json(result.reason)},
                 {"processingSeconds", result.seconds},
                 {"lines", lines}};
    // A name in another encoding is written with U+FFFD for the bytes that are not UTF-8;
    // its bytes as they are go beside it, so that a program can open the file.
    if (!IsUtf8(result.path)) file["pathBase64"] = Base64(result.path);
    file["programStream"] =
        result.programStream ? ProgramStreamJson(*result.programStream) : json(nullptr);
    file["videoStreams"] = json::array();
    for (const VideoStreamFigures& video : result.videoStreams) {
        file["videoStreams"].push_back(series ? VideoJson(video) : VideoFiguresJson(video));
    }
    file["audioStreams"] = json::array();
    for (const AudioStreamFigures& audio : result.audioStreams) {
        file["audioStreams"].push_back(AudioJson(audio, series));
    }
    return file;
}

namespace {

// An array's text, one element's text at a time.
template <typename Item, typename TextOf>
std::string ArrayOfTexts(const std::vector<Item>& items, TextOf textOf) {
    std::string text = "[";
    for (size_t i = 0; i < items.size(); ++i) text += (i > 0 ? "," : "") + textOf(items[i]);
    return text + "]";
}

// A series as a JSON array, one element at a time, never the whole as one tree.
template <typename Item, typename ToJsonOf>
std::string ArrayText(const std::vector<Item>& items, ToJsonOf toJson) {
    return ArrayOfTexts(items, [&](const Item& item) { return JsonDump(toJson(item), -1); });
}

// An object's text with members appended before its closing brace (`closing` of them: the
// object's own, and those of the objects it ends inside).
std::string WithMembers(std::string objectText, const std::string& members, size_t closing = 1) {
    std::string braces = objectText.substr(objectText.size() - closing);
    objectText.resize(objectText.size() - closing);
    return objectText + members + braces;
}

std::string VideoText(const VideoStreamFigures& v) {
    std::string series = ",\"gops\":" + ArrayText(v.series.gops, GopJson) +
                         ",\"bitrate\":" + JsonDump(BitrateJson(v.series), -1);
    if (v.series.vbvBufferBits > 0) {
        series += ",\"vbv\":{\"bufferBits\":" + JsonDump(v.series.vbvBufferBits, -1) +
                  ",\"occupancy\":" + ArrayText(v.series.vbv, VbvPointJson) + "}";
    }
    return WithMembers(JsonDump(VideoFiguresJson(v), -1), series);
}

// The curve is the last member of the loudness object, itself the audio object's last.
std::string AudioText(const AudioStreamFigures& a) {
    std::string text = JsonDump(AudioJson(a, false), -1);
    if (!a.loudness || !a.loudness->curve) return text;
    std::string curve = ",\"curve\":" + ArrayText(a.loudness->curve->points, CurvePointJson);
    return WithMembers(text, curve, 2);
}

}  // namespace

std::string FileJsonText(const RunResult& result) {
    std::string text = "{";
    // Held: a range-for over items() of a temporary dangles.
    const json figures = ToJson(result, false);
    for (const auto& [key, value] : figures.items()) {
        if (text.size() > 1) text += ',';
        text += JsonDump(key, -1) + ':';
        if (key == "videoStreams") {
            text += ArrayOfTexts(result.videoStreams, VideoText);
        } else if (key == "audioStreams") {
            text += ArrayOfTexts(result.audioStreams, AudioText);
        } else {
            text += JsonDump(value, -1);
        }
    }
    return text + "}";
}

RunResult RunResultFromJson(const json& j) {
    RunResult result;
    result.path = j.at("path").get<std::string>();
    if (!j.at("size").is_null()) result.sizeBytes = j.at("size").get<uint64_t>();
    std::string verdict = j.at("verdict").get<std::string>();
    result.verdict = KnownValue(VerdictNamed(verdict), verdict);
    if (!j.at("reason").is_null()) result.reason = j.at("reason").get<std::string>();
    result.seconds = j.at("processingSeconds").get<double>();
    for (const json& line : j.at("lines")) result.lines.push_back(LineFromJson(line));
    if (!j.at("programStream").is_null()) {
        result.programStream = ProgramStreamFromJson(j.at("programStream"));
    }
    for (const json& video : j.at("videoStreams")) {
        result.videoStreams.push_back(VideoFromJson(video));
    }
    for (const json& audio : j.at("audioStreams")) {
        result.audioStreams.push_back(AudioFromJson(audio));
    }
    return result;
}
