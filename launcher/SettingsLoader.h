#pragma once
// Getting the settings document: the settings archive fresh from the product
// site (kept as the stored copy), else the stored copy of an earlier run,
// else the copy shipped beside the launcher.

#include <QUrl>

#include <filesystem>
#include <string>

namespace launcher {

class THttpClient;

struct TLoadedSettings {
  bool Downloaded = false;  // the archive came fresh from the site in this run and was stored
  std::string Text;         // the settings document; empty when none could be had
};

// The settings archive's name on the site, in the data folder and beside the launcher.
inline constexpr const char* kSettingsArchiveName = "settings.bin";

// Never throws for a network, file or archive problem: a failed download, or
// one that is not a readable settings archive with a well-formed document
// (logged as code 1 with the reason; the stored copy is left as it was),
// falls back to the copies, and when neither exists a code-2 report naming
// both paths is logged and the text is empty.
TLoadedSettings LoadSettings(THttpClient& http, const QUrl& settingsUrl,
                             const std::filesystem::path& dataFolder,
                             const std::filesystem::path& launcherFolder);

}  // namespace launcher
