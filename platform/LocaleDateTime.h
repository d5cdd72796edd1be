#pragma once
// Local date and time as the user's locale writes them: the short date, a
// blank and the long time ("09/12/2026 22:47:02" in en_GB, "12/09/26 10:47:02 PM"
// in en_US). Used for the time stamps of the error log.

#include <ctime>
#include <string>

namespace platform {

// The text for the given moment (seconds since the epoch), in local time.
std::string LocalDateTimeText(std::time_t when);
// The same under the named locale's LC_TIME ("de_DE.UTF-8"); the C locale's
// formats when it is not installed.
std::string LocalDateTimeText(std::time_t when, const std::string& localeName);
// The text for now.
std::string LocalDateTimeText();

}  // namespace platform
