// A locale whose decimal separator is a comma, for tests of numbers that must read and
// print the same under every locale.
#pragma once

#include <string>

// Sets LC_ALL to de_DE.UTF-8 for the life of the object and restores the previous locale
// after. scripts/test.sh makes the locale where it is missing.
class CommaLocale {
  public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // False when the locale does not exist here, or its separator is not a comma: the
    // test must then GTEST_SKIP() with kSkipReason.
    bool Active() const { return active_; }
    static constexpr const char* kSkipReason =
        "the locale de_DE.UTF-8 is missing: run scripts/test.sh as root (it installs "
        "'locales' and runs localedef -i de_DE -f UTF-8 de_DE.UTF-8)";

  private:
    std::string previous_;
    bool active_ = false;
};
