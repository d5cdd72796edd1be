// Simple upper-case mapping through glibc's C.UTF-8 locale, which carries
// Unicode's case tables whatever the user's locale is.

#include <locale.h>
#include <wctype.h>

#include "platform/Unicode.h"

namespace platform {

namespace {

// Opened once and never installed as the process locale.
locale_t UnicodeLocale() {
  static const locale_t locale =
      ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

char32_t SimpleUpperCase(char32_t aCode) {
  if (aCode < 0x80) return (aCode >= 'a' && aCode <= 'z') ? aCode - ('a' - 'A') : aCode;
  const locale_t locale = UnicodeLocale();
  if (!locale || aCode > 0x10FFFF) return aCode;
  return static_cast<char32_t>(::towupper_l(static_cast<wint_t>(aCode), locale));
}

}  // namespace platform
