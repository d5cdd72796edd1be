#include "launcher/LauncherErrors.h"

namespace launcher {

std::string ErrorReportText(const std::exception& error) {
  const char* type = "Exception";
  if (dynamic_cast<const EDownloadError*>(&error)) {
    type = "EDownloadError";
  } else if (dynamic_cast<const ESettingsFormatError*>(&error)) {
    type = "ESettingsFormatError";
  }
  return std::string(type) + " : " + error.what();
}

}  // namespace launcher
