#pragma once
// Reading "Err.log" back in tests: the file is UTF-16LE lines ending in CR LF.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The log's lines as UTF-8, without their CR LF.
std::vector<std::string> ErrLogLines(const std::filesystem::path& file);

// The text of a line after its date-time and " : ".
std::string ReportText(const std::string& line);

}  // namespace testsupport
