// What names a run in its machine outputs, so that a stored result is an audit record: the
// profile that judged it, by path and by the SHA-256 of the bytes read (the file may be
// edited later), and when the run started.
#pragma once

#include <ctime>
#include <string>

struct RunStamp {
    std::string profilePath;    // empty: no profile (--no-profile)
    std::string profileSha256;  // of the bytes the run read; empty without a profile
    std::string analysedAt;     // ISO 8601 UTC, "2026-12-11T07:22:23Z"
};

RunStamp StampRun(const std::string& profilePath, const std::string& profileBytes,
                  std::time_t startedAt);

// "2026-12-11T07:22:23Z".
std::string Iso8601Utc(std::time_t time);
