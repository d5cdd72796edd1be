#pragma once
// The file name under which a downloaded installer is stored in the product
// data folder.

#include <cstddef>
#include <string>

namespace launcher {

// Used when the address gives no safe name of its own.
inline constexpr const char* kFallbackInstallerName = "VelmoraFreeSetup";
// Longer names are not taken: every file system can hold this many.
inline constexpr std::size_t kMaxInstallerNameLength = 100;

// The last segment of the URL's path, as it stands in the address (no query,
// no fragment, no percent-decoding). An empty segment, one longer than
// kMaxInstallerNameLength, "." or "..", a name
// holding a backslash or a control character, or one of the product's own
// files in the data folder ("Err.log", "settings.bin", in any letter case)
// gives kFallbackInstallerName instead, so a settings document can never
// make the launcher overwrite or run something it did not download.
std::string GetFileNameFromURL(const std::string& url);

}  // namespace launcher
