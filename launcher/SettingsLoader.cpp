#include "launcher/SettingsLoader.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "launcher/HttpClient.h"
#include "launcher/SettingsArchive.h"
#include "launcher/SettingsDocument.h"
#include "support/uFunctions.h"

namespace launcher {

namespace {

using namespace std::chrono_literals;

// A slow or unreachable site delays the start of the main program by at most
// a few seconds: 3 s without a byte ends the attempt, and a server that
// drip-feeds is cut off after 10 s in all.
constexpr TTransferLimits kSettingsLimits{
    .stall = 3000ms, .overall = 10000ms, .maxBytes = kMaxSettingsBytes};

QString QPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// The settings document of a downloaded archive, read as the launch will
// read it. Throws ESettingsFormatError with the reason, so that a bad answer
// never replaces a good stored copy.
std::string CheckedDocument(const QByteArray& archive) {
  const std::string refused =
      std::string("The downloaded \"") + kSettingsArchiveName + "\" is not stored: ";
  std::string why;
  std::optional<std::string> text = ExtractSettingsDocument(
      std::string_view(archive.constData(), static_cast<std::size_t>(archive.size())),
      kSettingsEntryName, kSettingsPassword, &why);
  if (!text) throw ESettingsFormatError(refused + why);
  try {
    TProductEntry ignored;
    ParseSettings(*text, ignored);
  } catch (const ESettingsFormatError& error) {
    throw ESettingsFormatError(refused + error.what());
  }
  return std::move(*text);
}

void StoreCopy(const std::filesystem::path& stored, const QByteArray& bytes) {
  if (!QDir().mkpath(QPath(stored.parent_path()))) {
    throw EDownloadError("Can't create the folder of \"" + stored.string() + "\"");
  }
  // Replaced in one rename, so a failed write never leaves half a copy.
  QSaveFile file(QPath(stored));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    throw EDownloadError("Can't write \"" + stored.string() + "\"");
  }
}

// The copy's bytes, or empty for a file that is missing, unreadable or too large.
QByteArray ReadCopy(const std::filesystem::path& path) {
  QFile file(QPath(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.read(static_cast<qint64>(kMaxSettingsBytes) + 1);
}

}  // namespace

TLoadedSettings LoadSettings(THttpClient& http, const QUrl& settingsUrl,
                             const std::filesystem::path& dataFolder,
                             const std::filesystem::path& launcherFolder) {
  TLoadedSettings result;
  std::filesystem::path path = dataFolder / kSettingsArchiveName;
  QByteArray buffer;
  try {
    buffer = http.Get(settingsUrl, kSettingsLimits);
    std::string text = CheckedDocument(buffer);
    StoreCopy(path, buffer);
    result.Downloaded = true;
    result.Text = std::move(text);
    return result;
  } catch (const std::exception& error) {
    // Not shown: the launch goes on with a copy. The line tells why no
    // update was offered (an untrusted certificate, for one).
    WriteErrorMessage(edsSilent, AID_Launcher, 1, ErrorReportText(error));
    const std::filesystem::path shipped = launcherFolder / kSettingsArchiveName;
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) path = shipped;
    if (!std::filesystem::exists(path, ignored)) {
      WriteErrorMessage(edsSilent, AID_Launcher, 2,
                        "\"" + (dataFolder / kSettingsArchiveName).string() + "\" and \"" +
                            shipped.string() + "\"");
      return result;
    }
    buffer = ReadCopy(path);
  }
  if (auto text = ExtractSettingsDocument(
          std::string_view(buffer.constData(), static_cast<std::size_t>(buffer.size())))) {
    result.Text = std::move(*text);
  }
  return result;
}

}  // namespace launcher
