#pragma once
// The user-interface language as a Windows language identifier (LANGID:
// primary language in the low 10 bits, sublanguage above), which is what
// the registry's "LCID" override holds on every platform.

#include <cstdint>
#include <string>

namespace platform {

// The user's interface language: on Linux the messages locale of the
// environment (LC_ALL, LC_MESSAGES, LANG, with the first LANGUAGE entry
// preferred as gettext does); 0 for the C locale or a language without an id.
std::uint16_t ThreadUILanguage();

// A POSIX locale name ("ar_SA.UTF-8", "de_AT@euro", "pt-BR") as a language
// id: a known country gives its sublanguage, no country the language's
// default one, an unknown country the language alone; 0 for an unknown
// language or the C locale.
std::uint16_t LanguageIdOfLocaleName(const std::string& aName);

}  // namespace platform
