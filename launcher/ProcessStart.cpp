#include "launcher/ProcessStart.h"

#include <QFileInfo>
#include <QProcess>

namespace launcher {

namespace {

// QProcess gives no reason for a failed detached start; these are the cases
// a user can act on, in the system's own words.
std::string Reason(const QFileInfo& file) {
  if (!file.exists()) return "No such file or directory";
  if (file.isDir()) return "Is a directory";
  if (!file.isExecutable()) return "Permission denied";
  return "The program could not be started";
}

}  // namespace

std::optional<std::string> StartProgram(const std::string& path) {
  const QString program = QString::fromStdString(path);
  const QFileInfo file(program);
  // The launcher's working folder, environment and no arguments, as a user's
  // start from the desktop would give.
  if (file.isFile() && QProcess::startDetached(program, {})) return std::nullopt;
  return Reason(file) + " FileName = \"" + path + "\"";
}

}  // namespace launcher
