// The run's stamp.
#include "output/run_stamp.h"

#include "reference/sha256.h"

RunStamp StampRun(const std::string& profilePath, const std::string& profileBytes,
                  std::time_t startedAt) {
    return {profilePath, profilePath.empty() ? "" : Sha256Hex(profileBytes),
            Iso8601Utc(startedAt)};
}

std::string Iso8601Utc(std::time_t time) {
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}
