#pragma once
// The decimal separator of a locale's number format, for byte counts and
// other numbers shown to the user.

#include <string>

namespace platform {

// The decimal separator (UTF-8, "." or "," and others) of the named locale;
// the empty name means the user's own (LC_ALL, LC_NUMERIC, LANG). "." when the
// locale is not installed. The process-wide locale is left as it is.
std::string DecimalSeparator(const std::string& localeName = "");

}  // namespace platform
