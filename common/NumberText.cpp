#include "common/NumberText.h"

#include <locale.h>
#include <clocale>
#include <cstdlib>
#include <string>

namespace trimwright {

namespace {

locale_t ClassicCLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

double number_text_detail::CLibraryDouble(std::string_view text) {
  const std::string terminated(text);
  return strtod_l(terminated.c_str(), nullptr, ClassicCLocale());
}

}  // namespace trimwright
