#include "launcher/InstallerName.h"

#include <QUrl>

#include <array>

namespace launcher {

namespace {

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool IsSafeName(const std::string& name) {
  if (name.empty() || name.size() > kMaxInstallerNameLength || name == "." || name == "..")
    return false;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/' || u < 0x20 || u == 0x7F) return false;
  }
  static const std::array<std::string, 2> kOwnFiles = {"err.log", "settings.bin"};
  for (const std::string& own : kOwnFiles) {
    if (LowerAscii(name) == own) return false;
  }
  return true;
}

}  // namespace

std::string GetFileNameFromURL(const std::string& url) {
  const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
  // FullyEncoded keeps "%2F" and "%00" as they are: a decoded "/" or NUL
  // could otherwise leave the data folder or cut the name short.
  const QString path = parsed.isValid() ? parsed.path(QUrl::FullyEncoded) : QString();
  const std::string segment = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toStdString();
  return IsSafeName(segment) ? segment : kFallbackInstallerName;
}

}  // namespace launcher
