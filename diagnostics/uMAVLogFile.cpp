#include "diagnostics/uMAVLogFile.h"

#include <system_error>

#include "platform/Files.h"
#include "platform/LocaleDateTime.h"

namespace {

constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::string BuildLogRecord(const std::string& aTimeStamp, const std::string& aMsg) {
  std::string record = kLineEnd;
  record += "[" + aTimeStamp + "] " + kLineEnd;
  std::size_t pos = 0;
  while (pos < aMsg.size()) {
    const std::size_t end = aMsg.find_first_of("\r\n", pos);
    const std::size_t stop = end == std::string::npos ? aMsg.size() : end;
    record += "  ";
    record.append(aMsg, pos, stop - pos);
    record += kLineEnd;
    if (end == std::string::npos) break;
    pos = end + 1;
    if (aMsg[end] == '\r' && pos < aMsg.size() && aMsg[pos] == '\n') ++pos;  // CR LF is one break
  }
  record += kLineEnd;
  return record;
}

void TMAVLogFile::LogMessage(const std::string& aMsg) noexcept {
  try {
    // One append of the whole record under the shared log's lock: the
    // message writer of the other program appends to the same file, and a
    // record must neither be split by its lines nor lost to a collision. On
    // a fresh account the data folder may not exist yet.
    platform::ForceFileFolder(FFileName);
    platform::AppendToFile(FFileName, BuildLogRecord(platform::LocalDateTimeText(), aMsg));
  } catch (...) {
    // A lost record must not take the error handling that logs it down too.
  }
}

void TMAVLogFile::ClearLog() noexcept {
  std::error_code ec;
  std::filesystem::remove(FFileName, ec);
}

TMAVLogFile& LogFile() {
  static TMAVLogFile logFile(
      std::filesystem::path(platform::SelfExecutablePath()).replace_extension(".log"));
  return logFile;
}
