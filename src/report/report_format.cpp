// Report line formatting.
#include "report/report_format.h"

#include <locale.h>

#include <cstdio>
#include <cstring>

namespace {

// Report lines print numbers the same wherever they are made: the desktop application
// runs under the user's locale (for its dates), and under de_DE a report must still say
// "2.08 MB", not "2,08 MB". uselocale() changes only the calling thread, so the video and
// audio passes may format their lines side by side.
class CLocaleForThisThread {
  public:
    CLocaleForThisThread() : previous_(::uselocale(CLocale())) {}
    ~CLocaleForThisThread() { ::uselocale(previous_); }
    CLocaleForThisThread(const CLocaleForThisThread&) = delete;
    CLocaleForThisThread& operator=(const CLocaleForThisThread&) = delete;

  private:
    // Made once, kept for the life of the process; should it fail, (locale_t)0 makes
    // uselocale() change nothing.
    static locale_t CLocale() {
        static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        return c;
    }
    locale_t previous_;
};

// Length of the conversion that starts at format[0] == '%', or 0 when the '%' starts
// no complete conversion. "%n" is never honoured: no report line writes through it.
size_t ConversionLength(const char* format) {
    const char* p = format + 1;
    while (*p && std::strchr("-+ #0'", *p)) ++p;
    if (*p == '*') {
        ++p;
    } else {
        while (*p >= '0' && *p <= '9') ++p;
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') ++p;
        }
    }
    while (*p && std::strchr("hlLqjzt", *p)) ++p;
    if (*p && std::strchr("diouxXeEfFgGaAcsp%", *p)) return static_cast<size_t>(p - format) + 1;
    return 0;
}

// Doubles every "%" that starts no conversion, so that printf prints it as it stands.
std::string EscapeLonePercents(const char* format) {
    std::string escaped;
    for (const char* p = format; *p;) {
        if (*p != '%') {
            escaped += *p++;
            continue;
        }
        size_t length = ConversionLength(p);
        if (length == 0) {
            escaped += "%%";
            ++p;
        } else {
            escaped.append(p, length);
            p += length;
        }
    }
    return escaped;
}

}  // namespace

std::string FormatReportLineV(const char* format, va_list args) {
    char buffer[kReportLineMax + 1];
    std::string safeFormat = EscapeLonePercents(format ? format : "");
    CLocaleForThisThread cLocale;
    int written = std::vsnprintf(buffer, sizeof buffer, safeFormat.c_str(), args);
    if (written < 0) return std::string();
    return std::string(buffer);
}

std::string FormatReportLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = FormatReportLineV(format, args);
    va_end(args);
    return line;
}
