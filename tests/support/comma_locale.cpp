// The comma locale for tests.
#include "support/comma_locale.h"

#include <clocale>
#include <cstring>

CommaLocale::CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr &&
              std::strcmp(std::localeconv()->decimal_point, ",") == 0;
}

CommaLocale::~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
