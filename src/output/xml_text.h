// Text as XML 1.0 character data and attribute values.
#pragma once

#include <string>

// Escapes & < > " ', drops the control characters XML 1.0 does not allow, and turns bytes
// that are not UTF-8 into U+FFFD, so that any file name or report line makes a
// well-formed document.
std::string XmlEscape(const std::string& text);
