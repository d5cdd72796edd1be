#pragma once
// Starting a program detached from the launcher: the path is the program,
// there are no arguments and no shell, so a blank in a folder name (the
// product data folder has one) is never split.

#include <optional>
#include <string>

namespace launcher {

// Nothing when the program was started; otherwise the reason, then
// " FileName = " and the path in double quotes (the text of a code-3 or
// code-4 report).
std::optional<std::string> StartProgram(const std::string& path);

}  // namespace launcher
