#include <cstdlib>
#include <string>

#include "platform/UILanguage.h"

namespace platform {

namespace {

std::string Env(const char* aName) {
  const char* value = std::getenv(aName);
  return value ? value : "";
}

}  // namespace

std::uint16_t ThreadUILanguage() {
  // The precedence of setlocale(LC_MESSAGES, ""): the first variable set wins.
  std::string locale = Env("LC_ALL");
  if (locale.empty()) locale = Env("LC_MESSAGES");
  if (locale.empty()) locale = Env("LANG");
  if (locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C.")) return 0;
  // gettext lets LANGUAGE's list choose the language unless the locale is C.
  const std::string languages = Env("LANGUAGE");
  const std::string first = languages.substr(0, languages.find(':'));
  if (!first.empty()) {
    if (const std::uint16_t id = LanguageIdOfLocaleName(first)) return id;
  }
  return LanguageIdOfLocaleName(locale);
}

}  // namespace platform
