// JUnit XML.
#include "output/junit_report.h"

#include <cstdio>

#include "output/key_text.h"
#include "output/xml_text.h"

namespace {

struct TestCase {
    std::string name;
    std::string className;
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

std::string WithoutStar(const std::string& text) {
    return text.starts_with("*") ? text.substr(1) : text;
}

// Judged lines are grouped by the key that judged them; lines no key judges under
// "report".
std::string ClassName(const ResultLine& line) {
    if (!line.check) return "report";
    for (const std::optional<JudgedValue>* value :
         {&line.check->reference, &line.check->max, &line.check->min}) {
        if (*value && !(*value)->key.empty()) return (*value)->section + "." + (*value)->key;
    }
    return "report";
}

TestCase CaseOf(const ResultLine& line) {
    TestCase test{WithoutStar(line.text), ClassName(line), TestCase::Passed, "", ""};
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

// Every line a check judged, and every failure line (a refused stream, a truncated file,
// a cancelled run) whether a check wrote it or not; the verdict line is the suite itself.
Suite SuiteOf(const FileResult& result) {
    Suite suite;
    if (result.verdict == FileVerdict::Error) {
        suite.cases.push_back(
            {"analysis", "report", TestCase::Errored, result.reason, result.reason});
        suite.errors = 1;
        return suite;
    }
    if (result.verdict == FileVerdict::NotAnalysed) {
        suite.cases.push_back({"analysis", "report", TestCase::Skipped, result.reason, ""});
        suite.skipped = 1;
        return suite;
    }
    int verdict = VerdictLineIndex(result);
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        if (static_cast<int>(i) == verdict || !(line.check || line.kind == LineKind::Fail))
            continue;
        TestCase test = CaseOf(line);
        suite.failures += test.state == TestCase::Failed;
        suite.skipped += test.state == TestCase::Skipped;
        suite.cases.push_back(std::move(test));
    }
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
                   Attribute("type", test.className) + ">" + XmlEscape(test.detail) +
                   "</failure>\n";
            break;
        case TestCase::Skipped:
            xml += ">\n      <skipped" + Attribute("message", test.message) + "/>\n";
            break;
        case TestCase::Errored:
            xml += ">\n      <error" + Attribute("message", test.message) +
                   Attribute("type", "analysis") + ">" + XmlEscape(test.detail) + "</error>\n";
            break;
    }
    return xml + "    </testcase>\n";
}

// The report's warnings that fail nothing (a skipped capture start, an unknown profile
// key) go to the suite's output, where a viewer shows them beside the cases.
std::string SystemOut(const FileResult& result) {
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

std::string RunJunitText(const std::vector<FileResult>& results, const RunStamp& stamp) {
    std::string suites;
    int tests = 0, failures = 0, errors = 0, skipped = 0;
    double seconds = 0;
    for (const FileResult& result : results) {
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
