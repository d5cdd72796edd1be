#include "platform/LocaleNumber.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

std::string SeparatorOf(const std::string& localeName) {
  // A locale object of its own, so that a program that never called setlocale
  // still shows the user's separator, and no other thread sees a change.
  const locale_t locale = ::newlocale(LC_NUMERIC_MASK, localeName.c_str(), locale_t{});
  if (locale == locale_t{}) return ".";
  const char* radix = ::nl_langinfo_l(RADIXCHAR, locale);
  std::string separator = radix && *radix ? radix : ".";
  ::freelocale(locale);
  return separator;
}

// The variables that choose the user's numeric locale, in the order of
// precedence; the separator is looked up again only when they change.
std::string UserNumericLocaleKey() {
  std::string key;
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(name);
    key += value ? value : "";
    key += '\n';
  }
  return key;
}

}  // namespace

std::string DecimalSeparator(const std::string& localeName) {
  if (!localeName.empty()) return SeparatorOf(localeName);
  // Sizes are formatted for every row of a file list: the user's separator
  // is kept while the locale variables stay as they are.
  static std::mutex mutex;
  static std::string key, separator;
  const std::lock_guard<std::mutex> lock(mutex);
  std::string now = UserNumericLocaleKey();
  if (separator.empty() || now != key) {
    separator = SeparatorOf("");
    key = std::move(now);
  }
  return separator;
}

}  // namespace platform
