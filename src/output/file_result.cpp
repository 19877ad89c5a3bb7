// File results and their JSON form.
#include "output/file_result.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>

using json = nlohmann::ordered_json;

namespace {

template <typename Enum, size_t N>
const char* NameOf(const std::array<std::pair<Enum, const char*>, N>& names, Enum value) {
    for (const auto& [each, name] : names) {
        if (each == value) return name;
    }
    return names[0].second;
}

template <typename Enum, size_t N>
Enum ValueOf(const std::array<std::pair<Enum, const char*>, N>& names, const std::string& name) {
    for (const auto& [each, text] : names) {
        if (name == text) return each;
    }
    throw json::other_error::create(501, "unknown name \"" + name + "\"", nullptr);
}

constexpr std::array<std::pair<FileVerdict, const char*>, 5> kVerdictNames = {
    {{FileVerdict::Pass, "pass"},
     {FileVerdict::Fail, "fail"},
     {FileVerdict::Error, "error"},
     {FileVerdict::Interrupted, "interrupted"},
     {FileVerdict::NotAnalysed, "not analysed"}}};

constexpr std::array<std::pair<LineKind, const char*>, 5> kLineKindNames = {
    {{LineKind::Heading, "heading"},
     {LineKind::Info, "info"},
     {LineKind::Pass, "pass"},
     {LineKind::Fail, "fail"},
     {LineKind::Warning, "warning"}}};

constexpr std::array<std::pair<CheckKind, const char*>, 6> kCheckKindNames = {
    {{CheckKind::Equal, "equal"},
     {CheckKind::Range, "range"},
     {CheckKind::RealRange, "realRange"},
     {CheckKind::Tolerance, "tolerance"},
     {CheckKind::Mask, "mask"},
     {CheckKind::Forced, "forced"}}};

constexpr std::array<std::pair<CheckOutcome, const char*>, 4> kOutcomeNames = {
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
    check.kind = ValueOf(kCheckKindNames, j.at("type").get<std::string>());
    check.outcome = ValueOf(kOutcomeNames, j.at("outcome").get<std::string>());
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
    line.kind = ValueOf(kLineKindNames, j.at("kind").get<std::string>());
    line.text = j.at("text").get<std::string>();
    if (j.contains("check")) line.check = CheckFromJson(j.at("check"));
    line.streamStart = j.value("streamStart", false);
    return line;
}

GopRow GopFromJson(const json& j) {
    return {j.at("timeCode").get<std::string>(),  j.at("length").get<uint32_t>(),
            j.at("structure").get<std::string>(), j.at("closed").get<bool>(),
            j.at("sequenceHeader").get<bool>(),   j.at("brokenLink").get<bool>()};
}

// Each picture as [picture, seconds, beforeBits, afterBits]: a long programme has many.
json VbvJson(const VideoSeries& series) {
    json occupancy = json::array();
    for (const VbvPoint& point : series.vbv) {
        occupancy.push_back({point.picture, point.seconds, point.beforeBits, point.afterBits});
    }
    return {{"bufferBits", series.vbvBufferBits}, {"occupancy", occupancy}};
}

void ReadVbvJson(const json& vbv, VideoSeries& series) {
    series.vbvBufferBits = vbv.at("bufferBits").get<double>();
    for (const json& point : vbv.at("occupancy")) {
        series.vbv.push_back({point.at(0).get<uint32_t>(), point.at(1).get<double>(),
                              point.at(2).get<double>(), point.at(3).get<double>()});
    }
}

}  // namespace

FileResult ErrorResult(const std::string& path, const std::string& reason) {
    FileResult result;
    result.path = path;
    result.verdict = FileVerdict::Error;
    result.reason = reason;
    // Framed as a report, so that a text output reads the same as for an analysed file.
    result.lines = {{LineKind::Heading, "File under analysis: \"" + path + "\"..!", {}, false},
                    {LineKind::Fail, "*" + reason, {}, false},
                    {LineKind::Heading, "Result:", {}, false},
                    {LineKind::Fail, "Compliance Test: Fail!!", {}, false}};
    result.streams = {{"programStream", nullptr},
                      {"videoStreams", json::array()},
                      {"audioStreams", json::array()}};
    return result;
}

FileResult NotAnalysedResult(const std::string& path) {
    FileResult result = ErrorResult(path, "Not analysed: the run was stopped before this file");
    result.verdict = FileVerdict::NotAnalysed;
    return result;
}

const char* VerdictName(FileVerdict verdict) { return NameOf(kVerdictNames, verdict); }

const char* LineKindName(LineKind kind) { return NameOf(kLineKindNames, kind); }

int VerdictLineIndex(const FileResult& result) {
    for (int i = static_cast<int>(result.lines.size()) - 1; i >= 0; --i) {
        LineKind kind = result.lines[static_cast<size_t>(i)].kind;
        if (kind == LineKind::Pass || kind == LineKind::Fail) return i;
    }
    return -1;
}

std::vector<const ResultLine*> FailureLines(const FileResult& result) {
    std::vector<const ResultLine*> failures;
    int verdict = VerdictLineIndex(result);
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        bool failing =
            line.kind == LineKind::Fail || (line.kind == LineKind::Warning && line.check);
        if (failing && static_cast<int>(i) != verdict) failures.push_back(&line);
    }
    return failures;
}

void KeepForSummary(FileResult& result, bool series) {
    std::vector<ResultLine> kept;
    int verdict = VerdictLineIndex(result);
    for (const ResultLine* failure : FailureLines(result)) kept.push_back(*failure);
    if (verdict >= 0) kept.push_back(result.lines[static_cast<size_t>(verdict)]);
    result.lines = std::move(kept);
    if (series || !result.streams.contains("videoStreams")) return;
    for (json& video : result.streams["videoStreams"]) {
        video["gops"] = json::array();
        video["bitrate"]["kilobitsPerSecond"] = json::array();
        video.erase("vbv");
    }
    for (json& audio : result.streams["audioStreams"]) {
        if (audio.contains("loudness")) audio["loudness"].erase("curve");
    }
}

json SeriesJson(const VideoSeries& series) {
    json gops = json::array();
    for (const GopRow& gop : series.gops) {
        gops.push_back({{"timeCode", gop.timeCode},
                        {"length", gop.length},
                        {"structure", gop.structure},
                        {"closed", gop.closed},
                        {"sequenceHeader", gop.sequenceHeader},
                        {"brokenLink", gop.brokenLink}});
    }
    json figures = {
        {"gops", gops},
        {"bitrate",
         {{"kilobitsPerSecond", series.kilobitsPerSecond}, {"averageKbps", series.averageKbps}}}};
    if (series.vbvBufferBits > 0) figures["vbv"] = VbvJson(series);
    return figures;
}

namespace {

// JSON has no infinity: a silent reading travels as null.
double LufsFromJson(const json& value) {
    return value.is_null() ? -std::numeric_limits<double>::infinity() : value.get<double>();
}

}  // namespace

std::vector<LoudnessCurve> LoudnessCurvesOf(const FileResult& result) {
    std::vector<LoudnessCurve> all;
    if (!result.streams.contains("audioStreams")) return all;
    for (const json& audio : result.streams.at("audioStreams")) {
        if (!audio.contains("loudness") || !audio.at("loudness").contains("curve")) continue;
        LoudnessCurve curve;
        curve.streamId = audio.at("id").get<int>();
        for (const json& p : audio.at("loudness").at("curve")) {
            curve.points.push_back(
                {p.at(0).get<double>(), LufsFromJson(p.at(1)), LufsFromJson(p.at(2))});
        }
        all.push_back(std::move(curve));
    }
    return all;
}

std::vector<VideoSeries> VideoSeriesOf(const FileResult& result) {
    std::vector<VideoSeries> all;
    if (!result.streams.contains("videoStreams")) return all;
    for (const json& video : result.streams.at("videoStreams")) {
        VideoSeries series;
        series.streamId = video.at("id").get<int>();
        for (const json& gop : video.at("gops")) series.gops.push_back(GopFromJson(gop));
        const json& bitrate = video.at("bitrate");
        series.kilobitsPerSecond = bitrate.at("kilobitsPerSecond").get<std::vector<double>>();
        series.averageKbps = bitrate.at("averageKbps").get<double>();
        if (video.contains("vbv")) ReadVbvJson(video.at("vbv"), series);
        all.push_back(std::move(series));
    }
    return all;
}

namespace {

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

json ToJson(const FileResult& result) {
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
    for (const auto& [name, figures] : result.streams.items()) file[name] = figures;
    return file;
}

FileResult FileResultFromJson(const json& j) {
    FileResult result;
    result.path = j.at("path").get<std::string>();
    if (!j.at("size").is_null()) result.sizeBytes = j.at("size").get<uint64_t>();
    result.verdict = ValueOf(kVerdictNames, j.at("verdict").get<std::string>());
    if (!j.at("reason").is_null()) result.reason = j.at("reason").get<std::string>();
    result.seconds = j.at("processingSeconds").get<double>();
    for (const json& line : j.at("lines")) result.lines.push_back(LineFromJson(line));
    result.streams = json::object();
    for (const char* name : {"programStream", "videoStreams", "audioStreams"}) {
        result.streams[name] = j.at(name);
    }
    return result;
}
