#pragma once
// The errors of the launch sequence, and their text in a code-1 report:
// the error's type name, " : ", its message.

#include <stdexcept>
#include <string>

namespace launcher {

// Connection failure, certificate error, time-out, HTTP error status, a body
// over its cap, a refused redirect, a cancelled transfer or a failed write.
class EDownloadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A settings document that is not well-formed, or an entry lacking a required attribute.
class ESettingsFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "EDownloadError : HTTP status 404 for ..."
std::string ErrorReportText(const std::exception& error);

}  // namespace launcher
