#include "ErrLog.h"

#include "TempDir.h"
#include "support/TextCodec.h"

namespace testsupport {

std::vector<std::string> ErrLogLines(const std::filesystem::path& file) {
  const std::string text = support::Utf16LEToUtf8(ReadFileBytes(file));
  std::vector<std::string> lines;
  std::size_t pos = 0;
  for (std::size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
    lines.push_back(text.substr(pos, end - pos));
  if (pos < text.size()) lines.push_back(text.substr(pos));
  return lines;
}

std::string ReportText(const std::string& line) {
  const auto sep = line.find(" : ");
  return sep == std::string::npos ? std::string() : line.substr(sep + 3);
}

}  // namespace testsupport
