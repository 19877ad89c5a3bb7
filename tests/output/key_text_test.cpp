// What `--explain` says of the key behind a line whose limits are worked out from the
// values written: the values written, never the limits.
#include "output/key_text.h"

#include <gtest/gtest.h>

namespace {

JudgedValue Key(const char* section, const char* key, double value, bool set = true) {
    return {section, key, value, set};
}

JudgedValue NoKey(double value, bool set) { return {"", "", value, set}; }

JudgedCheck Window(JudgedValue min, JudgedValue max) {
    JudgedCheck check;
    check.kind = CheckKind::RealRange;
    check.min = min;
    check.max = max;
    return check;
}

TEST(KeyText, ExplainsTheValuesWrittenBehindWorkedOutLimits) {
    struct Case {
        JudgedCheck check;
        std::string text;
    };
    const Case cases[] = {
        // The declared mux rate against the minimum ProgramMuxRateMin=1 works out.
        {Window(Key("System", "ProgramMuxRateMin", 10080000), NoKey(1000, false)),
         "[ProgramMuxRateMin = 1: recommended minimum 10080000 bit/s]"},
        {Window(Key("System", "ProgramMuxRateMin", 3523450.5), NoKey(1000, false)),
         "[ProgramMuxRateMin = 1: recommended minimum 3523450.5 bit/s]"},
        // RMSReference -20 with RMSTolerance 3: the limits -20 and -17.
        {Window(Key("Audio", "RMSReference", -20), Key("Audio", "RMSTolerance", -17)),
         "[RMSReference = -20 dB, RMSTolerance = 3 dB]"},
        {Window(Key("Audio", "RMSReference", -20.5), Key("Audio", "RMSTolerance", -18.25)),
         "[RMSReference = -20.5 dB, RMSTolerance = 2.25 dB]"},
        // Without RMSTolerance no maximum; without RMSReference neither limit.
        {Window(Key("Audio", "RMSReference", -20), Key("Audio", "RMSTolerance", 980, false)),
         "[RMSReference = -20 dB, RMSTolerance not set]"},
        {Window(Key("Audio", "RMSReference", 1000, false),
                Key("Audio", "RMSTolerance", 1003, false)),
         "[RMSReference not set, RMSTolerance not set]"},
        // LoudnessTarget -23 within LoudnessTolerance 1: the limits -24 and -22.
        {Window(Key("Audio", "LoudnessTarget", -24), Key("Audio", "LoudnessTolerance", -22)),
         "[LoudnessTarget = -23 LUFS, LoudnessTolerance = 1 LU]"},
        {Window(Key("Audio", "LoudnessTarget", -23.5), Key("Audio", "LoudnessTolerance", -22.5)),
         "[LoudnessTarget = -23 LUFS, LoudnessTolerance = 0.5 LU]"},
        {Window(Key("Audio", "LoudnessTarget", -25), Key("Audio", "LoudnessTolerance", -23)),
         "[LoudnessTarget = -24 LUFS, LoudnessTolerance = 1 LU]"},
        {Window(Key("Audio", "LoudnessTarget", 1000, false),
                Key("Audio", "LoudnessTolerance", 1000, false)),
         "[LoudnessTarget not set, LoudnessTolerance not set]"},
        // A limit that is the value written.
        {Window(NoKey(-1000, true), Key("Audio", "TruePeakMax", -1)), "[TruePeakMax = -1 dBTP]"},
        {Window(NoKey(-1000, true), Key("Audio", "MaxDCLevel", 1000, false)),
         "[MaxDCLevel not set]"},
        {Window(NoKey(-1000, true), Key("Audio", "ShortTermLoudnessMax", -18)),
         "[ShortTermLoudnessMax = -18 LUFS]"},
        // No key judges: the line's own limits.
        {Window(NoKey(0, true), NoKey(1000, false)), "[min 0]"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, ExplainCheck(c.check)) << c.text;
}

TEST(KeyText, ExplainsWrittenValuesWithTheirUnitsOrMeanings) {
    struct Case {
        const char* key;
        double value;
        std::string text;
    };
    const Case cases[] = {
        {"VBVBufferSize", 112, "[VBVBufferSize = 112 16 kbit]"},
        {"AudioBitrate", 192, "[AudioBitrate = 192 kbit/s]"},
        {"SamplingFrequency", 48000, "[SamplingFrequency = 48000 Hz]"},
        {"VideoStreams", 1, "[VideoStreams = 1]"},  // a count: no unit
        {"VBVCheck", 1, "[VBVCheck = 1]"},          // a switch with no meanings
        {"TopFieldFirst", 1, "[TopFieldFirst = 1: yes]"},
        {"Emphasis", 3, "[Emphasis = 3: CCITT J.17]"},
        {"ChromaFormat", 0, "[ChromaFormat = 0: any chroma format]"},
        {"ProfileAndLevel", 68, "[ProfileAndLevel = 68: MP@HL]"},
        {"Mode", 8, "[Mode = 8: single channel]"},
        {"HorizontalSise", 720, "[HorizontalSise = 720]"},  // no key of the table: no unit
    };
    for (const Case& c : cases) {
        JudgedCheck check;
        check.kind = CheckKind::Equal;
        check.reference = Key("Video", c.key, c.value);
        EXPECT_EQ(c.text, ExplainCheck(check)) << c.key;
    }
}

}  // namespace
