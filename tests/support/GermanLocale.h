// Switches the process to a German locale, whose decimal mark is a comma, for
// the tests that show that reading numbers does not depend on the locale;
// back to "C" at the end of the scope. scripts/test generates the locale; a
// machine without it has no name, and the test skips.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_GERMANLOCALE_H_
#define TRIMWRIGHT_TESTS_SUPPORT_GERMANLOCALE_H_

#include <clocale>

namespace trimwright::testing {

inline constexpr char kNoGermanLocale[] =
    "no German locale is installed (scripts/test generates one)";

class GermanLocale {
 public:
  GermanLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        name_ = name;
        return;
      }
    }
  }
  ~GermanLocale() { std::setlocale(LC_ALL, "C"); }

  GermanLocale(const GermanLocale&) = delete;
  GermanLocale& operator=(const GermanLocale&) = delete;

  // The locale switched to, or nullptr when none is installed.
  const char* name() const { return name_; }

 private:
  const char* name_ = nullptr;
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_GERMANLOCALE_H_
