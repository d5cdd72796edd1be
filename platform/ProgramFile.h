#pragma once
// Whether a downloaded file is a program that this system can start, judged
// by its first bytes before it is ever made executable.

#include <optional>
#include <string>

namespace platform {

// Nothing when the file at aPath is a program for this system; otherwise why
// not ("not a program for this system", or the reason it can't be read).
// Here a program is an ELF executable for this machine, or a script whose
// first line names its interpreter ("#!").
std::optional<std::string> WhyNotAProgram(const std::string& aPath);

}  // namespace platform
