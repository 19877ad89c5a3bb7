// JUnit XML.
#include "output/junit_report.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <set>

#include "output/key_text.h"
#include "output/xml_text.h"

namespace {

struct TestCase {
    std::string name;
    std::string className;
    std::string type;  // of a failure: the key that judged the line, or "report"
    enum { Passed, Failed, Skipped, Errored } state;
    std::string message;
    std::string detail;
};

struct Suite {
    std::vector<TestCase> cases;
    int failures = 0;
    int errors = 0;
    int skipped = 0;
};

// Lines that no key judges.
constexpr const char* kReportName = "report";
// Stands for a figure in a case's name.
constexpr char kFigure = '#';

bool IsAlphanumeric(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The text with each figure, a number standing alone ("69632", "-20.6", "0.91"), as "#";
// a digit that belongs to a name stays: E0, MPEG-1, 720x576, Layer II.
std::string WithoutFigures(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        bool starts = i == 0 || (!IsAlphanumeric(text[i - 1]) && text[i - 1] != '.' &&
                                 text[i - 1] != '-' && text[i - 1] != '_');
        size_t end = i;
        if (starts && end < text.size() && (text[end] == '-' || text[end] == '+')) ++end;
        if (starts && end < text.size() && IsDigit(text[end])) {
            while (end < text.size() && IsDigit(text[end])) ++end;
            while (end + 1 < text.size() && (text[end] == '.' || text[end] == ',') &&
                   IsDigit(text[end + 1])) {
                end += 2;
                while (end < text.size() && IsDigit(text[end])) ++end;
            }
            if (end == text.size() || !IsAlphanumeric(text[end])) {
                out += kFigure;
                i = end;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

// What a line is about, whatever it measured: its text without the failure's "*", before
// " = ", figures as "#": "Left Channel DC Level", "Bad ID Bit",
// "# bytes after the Program End Code hold another program (# packs)".
std::string Subject(const std::string& text) {
    std::string subject = text.starts_with("*") ? text.substr(1) : text;
    if (size_t equals = subject.find(" = "); equals != std::string::npos) subject.resize(equals);
    return WithoutFigures(subject);
}

// The key that judged the line, as "Video.AspectRatio": the reference of an equal or mask
// check, else the minimum's (RMSReference, LoudnessTarget) before the maximum's; empty
// when no key judges it.
std::string KeyName(const ResultLine& line) {
    if (!line.check) return "";
    for (const std::optional<JudgedValue>* value :
         {&line.check->reference, &line.check->min, &line.check->max}) {
        if (*value && !(*value)->key.empty()) return (*value)->section + "." + (*value)->key;
    }
    return "";
}

TestCase CaseOf(const ResultLine& line) {
    std::string key = KeyName(line);
    std::string className = key.empty() ? kReportName : key.substr(0, key.find('.'));
    TestCase test{key.empty() ? std::string(kReportName) + "." + Subject(line.text) : key,
                  className,
                  key.empty() ? kReportName : key,
                  TestCase::Passed,
                  "",
                  ""};
    std::string explanation = line.check ? ExplainCheck(*line.check) : "";
    if (line.kind == LineKind::Fail || line.kind == LineKind::Warning) {
        test.state = TestCase::Failed;
        test.message = line.text;
        test.detail = explanation.empty() ? line.text : line.text + "   " + explanation;
    } else if (line.check && line.check->outcome == CheckOutcome::Information) {
        test.state = TestCase::Skipped;
        test.message = explanation;
    }
    return test;
}

// A viewer tells cases apart by their class and name, and merges those that share both.
// A key that judges lines about different things (the longest and the shortest GOP, each
// channel) names each case after its line too: "Audio.MaxDCLevel: Left Channel DC Level".
// Cases still alike (the same line in two streams) are numbered in report order from the
// second: "Video.AspectRatio #2".
void MakeNamesDistinct(std::vector<TestCase>& cases, const std::vector<const ResultLine*>& lines) {
    std::map<std::string, std::set<std::string>> subjects;
    for (size_t i = 0; i < cases.size(); ++i) {
        subjects[cases[i].name].insert(Subject(lines[i]->text));
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        bool keyed = cases[i].type != kReportName;
        if (keyed && subjects[cases[i].name].size() > 1) {
            cases[i].name += ": " + Subject(lines[i]->text);
        }
    }
    std::map<std::string, int> seen;
    for (TestCase& test : cases) {
        int n = ++seen[test.name];
        if (n > 1) test.name += " #" + std::to_string(n);
    }
}

// Every line a check judged, and every failure line (a refused stream, a truncated file,
// a cancelled run) whether a check wrote it or not; the verdict line is the suite itself.
Suite SuiteOf(const RunResult& result) {
    Suite suite;
    if (result.verdict == FileVerdict::Error) {
        suite.cases.push_back(
            {"analysis", kReportName, "analysis", TestCase::Errored, result.reason, result.reason});
        suite.errors = 1;
        return suite;
    }
    if (result.verdict == FileVerdict::NotAnalysed) {
        suite.cases.push_back(
            {"analysis", kReportName, "analysis", TestCase::Skipped, result.reason, ""});
        suite.skipped = 1;
        return suite;
    }
    int verdict = VerdictLineIndex(result);
    std::vector<const ResultLine*> lines;
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        if (static_cast<int>(i) == verdict || !(line.check || line.kind == LineKind::Fail))
            continue;
        TestCase test = CaseOf(line);
        suite.failures += test.state == TestCase::Failed;
        suite.skipped += test.state == TestCase::Skipped;
        suite.cases.push_back(std::move(test));
        lines.push_back(&line);
    }
    MakeNamesDistinct(suite.cases, lines);
    return suite;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

std::string Attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + XmlEscape(value) + "\"";
}

std::string CaseXml(const TestCase& test) {
    std::string xml = "    <testcase" + Attribute("name", test.name) +
                      Attribute("classname", test.className) + Attribute("time", "0");
    switch (test.state) {
        case TestCase::Passed:
            return xml + "/>\n";
        case TestCase::Failed:
            xml += ">\n      <failure" + Attribute("message", test.message) +
                   Attribute("type", test.type) + ">" + XmlEscape(test.detail) + "</failure>\n";
            break;
        case TestCase::Skipped:
            xml += ">\n      <skipped" + Attribute("message", test.message) + "/>\n";
            break;
        case TestCase::Errored:
            xml += ">\n      <error" + Attribute("message", test.message) +
                   Attribute("type", test.type) + ">" + XmlEscape(test.detail) + "</error>\n";
            break;
    }
    return xml + "    </testcase>\n";
}

// The report's warnings that fail nothing (a skipped capture start, an unknown profile
// key) go to the suite's output, where a viewer shows them beside the cases.
std::string SystemOut(const RunResult& result) {
    std::string text;
    for (const ResultLine& line : result.lines) {
        if (line.kind == LineKind::Warning && !line.check) text += line.text + "\n";
    }
    if (text.empty()) return "";
    return "    <system-out>" + XmlEscape(text) + "</system-out>\n";
}

// The profile's SHA-256, when the run had one.
std::string ProfileHashProperty(const RunStamp& stamp) {
    if (stamp.profilePath.empty()) return "";
    return "      <property" + Attribute("name", "profile_sha256") +
           Attribute("value", stamp.profileSha256) + "/>\n";
}

}  // namespace

std::string RunJunitText(const std::vector<RunResult>& results, const RunStamp& stamp) {
    std::string suites;
    int tests = 0, failures = 0, errors = 0, skipped = 0;
    double seconds = 0;
    for (const RunResult& result : results) {
        Suite suite = SuiteOf(result);
        int count = static_cast<int>(suite.cases.size());
        tests += count;
        failures += suite.failures;
        errors += suite.errors;
        skipped += suite.skipped;
        seconds += result.seconds;
        suites += "  <testsuite" + Attribute("name", result.path) +
                  Attribute("tests", std::to_string(count)) +
                  Attribute("failures", std::to_string(suite.failures)) +
                  Attribute("errors", std::to_string(suite.errors)) +
                  Attribute("skipped", std::to_string(suite.skipped)) +
                  Attribute("time", Seconds(result.seconds)) +
                  Attribute("timestamp", stamp.analysedAt) + ">\n";
        suites += "    <properties>\n      <property" + Attribute("name", "verdict") +
                  Attribute("value", VerdictName(result.verdict)) + "/>\n      <property" +
                  Attribute("name", "profile") +
                  Attribute("value", stamp.profilePath.empty() ? "none" : stamp.profilePath) +
                  "/>\n" + ProfileHashProperty(stamp) + "    </properties>\n";
        for (const TestCase& test : suite.cases) suites += CaseXml(test);
        suites += SystemOut(result);
        suites += "  </testsuite>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" + Attribute("name", "zembra") +
           Attribute("tests", std::to_string(tests)) +
           Attribute("failures", std::to_string(failures)) +
           Attribute("errors", std::to_string(errors)) +
           Attribute("skipped", std::to_string(skipped)) + Attribute("time", Seconds(seconds)) +
           ">\n" + suites + "</testsuites>\n";
}
