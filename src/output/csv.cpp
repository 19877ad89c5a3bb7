// CSV quoting.
#include "output/csv.h"

#include <charconv>
#include <limits>

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvRow(const std::vector<std::string>& fields) {
    std::string row;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) row += ',';
        row += CsvField(fields[i]);
    }
    return row;
}

std::string CsvDecimal(double value, int decimals) {
    // std::to_chars formats as printf does in the "C" locale: "-", 309 digits, ".", decimals.
    char text[std::numeric_limits<double>::max_exponent10 + 24];
    auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text, end) : std::string();
}
