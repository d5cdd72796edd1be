#include "platform/LocaleNumber.h"

#include <langinfo.h>
#include <locale.h>

namespace platform {

std::string DecimalSeparator(const std::string& localeName) {
  // A locale object of its own, so that a program that never called setlocale
  // still shows the user's separator, and no other thread sees a change.
  const locale_t locale = ::newlocale(LC_NUMERIC_MASK, localeName.c_str(), locale_t{});
  if (locale == locale_t{}) return ".";
  const char* radix = ::nl_langinfo_l(RADIXCHAR, locale);
  std::string separator = radix && *radix ? radix : ".";
  ::freelocale(locale);
  return separator;
}

}  // namespace platform
