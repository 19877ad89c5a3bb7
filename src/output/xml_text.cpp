// XML escaping.
#include "output/xml_text.h"

#include <cstdint>

namespace {

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at `at` (RFC 3629), 0 when there is none.
size_t Utf8SequenceLength(const std::string& text, size_t at) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    uint8_t lead = byte(at);
    size_t length = lead < 0x80             ? 1
                    : (lead & 0xE0) == 0xC0 ? 2
                    : (lead & 0xF0) == 0xE0 ? 3
                    : (lead & 0xF8) == 0xF0 ? 4
                                            : 0;
    if (length == 0 || at + length > text.size()) return 0;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    bool overlong = code < kSmallest[length];
    bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

// Char ::= #x9 | #xA | #xD | [#x20-...] (XML 1.0, 2.2).
bool AllowedControl(char c) { return c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::string XmlEscape(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        char c = text[at];
        size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            escaped += kReplacementCharacter;
            ++at;
            continue;
        }
        if (length > 1) {
            escaped.append(text, at, length);
        } else if (c == '&') {
            escaped += "&amp;";
        } else if (c == '<') {
            escaped += "&lt;";
        } else if (c == '>') {
            escaped += "&gt;";
        } else if (c == '"') {
            escaped += "&quot;";
        } else if (c == '\'') {
            escaped += "&apos;";
        } else if (AllowedControl(c)) {
            // As a reference, so that an attribute value keeps it (XML 1.0, 3.3.3).
            escaped += "&#" + std::to_string(static_cast<int>(c)) + ";";
        } else if (static_cast<uint8_t>(c) >= 0x20) {
            escaped += c;
        }
        at += length;
    }
    return escaped;
}
