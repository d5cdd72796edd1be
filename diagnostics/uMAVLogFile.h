#pragma once
// The main program's error log writer. Each LogMessage appends one record to
// the error log ("Err.log" in the product data folder, shared with the
// support library's message writer):
//
//   <empty line>
//   [<local date and time>]
//     <each line of the message, indented by two blanks>
//   <empty line>
//
// Lines end in CR LF; the text is UTF-8, the locale's narrow encoding.

#include <filesystem>
#include <string>

class TMAVLogFile {
 public:
  explicit TMAVLogFile(std::filesystem::path aFileName) : FFileName(std::move(aFileName)) {}
  virtual ~TMAVLogFile() = default;

  const std::filesystem::path& FileName() const { return FFileName; }
  void SetFileName(std::filesystem::path aFileName) { FFileName = std::move(aFileName); }

  // Appends one record, creating the log's folder when it is missing. Never
  // raises: a read-only file or a full disk lose the record silently.
  virtual void LogMessage(const std::string& aMsg) noexcept;
  // Deletes the log file if it exists; never raises.
  void ClearLog() noexcept;

 private:
  std::filesystem::path FFileName;  // full path of the log file
};

// The record that LogMessage appends, for the given time-stamp text. The
// message is split at CR LF, LF and CR; a trailing line break adds no line.
std::string BuildLogRecord(const std::string& aTimeStamp, const std::string& aMsg);

// The process-wide writer; its first name is the program file's path with
// the extension ".log", until the wizard window points it at the error log.
TMAVLogFile& LogFile();
