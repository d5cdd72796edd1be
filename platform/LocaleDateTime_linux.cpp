#include "platform/LocaleDateTime.h"

#include <langinfo.h>
#include <locale.h>

namespace platform {

namespace {

// The user's LC_TIME locale, opened once without touching the process-wide
// locale of the program.
locale_t UserTimeLocale() {
  static const locale_t user = [] {
    locale_t l = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    return l ? l : ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
  }();
  return user;
}

std::string Format(std::time_t when, locale_t loc) {
  std::tm local{};
  ::localtime_r(&when, &local);
  std::string format = ::nl_langinfo_l(D_FMT, loc);
  format += ' ';
  format += ::nl_langinfo_l(T_FMT, loc);
  char text[256];
  const std::size_t n = ::strftime_l(text, sizeof text, format.c_str(), &local, loc);
  return std::string(text, n);
}

}  // namespace

std::string LocalDateTimeText(std::time_t when) { return Format(when, UserTimeLocale()); }

std::string LocalDateTimeText(std::time_t when, const std::string& localeName) {
  locale_t loc = ::newlocale(LC_TIME_MASK, localeName.c_str(), static_cast<locale_t>(nullptr));
  if (!loc) loc = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
  std::string text = Format(when, loc);
  ::freelocale(loc);
  return text;
}

std::string LocalDateTimeText() { return LocalDateTimeText(std::time(nullptr)); }

}  // namespace platform
