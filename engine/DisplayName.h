#pragma once
// A name from a disc shown on one line whatever bytes it holds. The command
// line's scan listing, the restore log, the error log and the progress window
// all show names this way, so that a user can match them up.

#include <string>

// A backslash is "\\", a tab "\t", a line feed "\n", a carriage return "\r",
// any other control character and any byte that is not UTF-8 "\xHH", and a
// blank at the start of the name "\x20" (so that it cannot pass for
// indentation). Everything else stays as it is.
std::string EscapedName(const std::string& aName);
