#pragma once
// Text from outside (file names, registry data, lines of a damaged file) as
// one line of a terminal: nothing in it can start a new line, move the
// cursor or pass for indentation.

#include <string>
#include <string_view>

namespace platform {

// A backslash becomes "\\", a tab "\t", a line feed "\n", a carriage return
// "\r", any other control character (C0, DEL, C1) and any byte that is not
// UTF-8 "\xHH", and a blank at the start "\x20"; everything else stays.
std::string EscapeForDisplay(std::string_view aText);

}  // namespace platform
