#pragma once
// Reading the settings document out of the settings archive ("settings.bin"):
// a ZIP archive whose entry "settings.xml" is encrypted with the traditional
// PKWARE cipher. The archive comes from the network, so every size is capped
// and every read is checked to the end of the entry.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace launcher {

// Neither the archive nor the document is ever larger than this; anything
// bigger is not a settings archive and is refused unread.
inline constexpr std::size_t kMaxSettingsBytes = 1024 * 1024;

inline constexpr const char* kSettingsEntryName = "settings.xml";
inline constexpr const char* kSettingsPassword = "pelvin_Quorat";

// The bytes of the entry, or nothing when the archive is damaged, the entry is
// missing or larger than kMaxSettingsBytes, the password is wrong or a
// checksum fails. The traditional cipher checks a password by one byte only,
// so a wrong password usually shows up as a data or checksum error while
// reading: the entry counts only when it was read to its end without error.
// When failure is given, it receives the reason for nothing.
std::optional<std::string> ExtractSettingsDocument(std::string_view archive,
                                                   const char* entryName = kSettingsEntryName,
                                                   const char* password = kSettingsPassword,
                                                   std::string* failure = nullptr);

}  // namespace launcher
