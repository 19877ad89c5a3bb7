// The one formatter for report lines: printf conventions, at most 255 characters,
// and a lone "%" that starts no conversion printed as it stands ("... -> %d%").
// Numbers follow the "C" locale ("2.08") whatever the process's locale is.
// Paths and any text read from a file are only ever arguments, never the format.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

constexpr int kReportLineMax = 255;
// The report's Kbps and kbit count 1024 bits.
constexpr uint32_t kBitsPerKbit = 1024;

std::string FormatReportLineV(const char* format, va_list args);
std::string FormatReportLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
