#pragma once
// The settings document ("settings.xml"): the products of the web site with
// their published version and installer address, and the comparison of two
// version texts.

#include <cstdint>
#include <string>

#include "launcher/LauncherErrors.h"

namespace launcher {

inline constexpr const char* kProductName = "Velmora Free";

struct TProductEntry {
  std::string Version;   // "2.0.0.0"
  std::string SetupURL;  // as written in the document
};

// Finds the first child of the root whose "Name" equals productName without
// regard to ASCII letter case. Returns false (and leaves entry alone) when no
// child matches. Throws ESettingsFormatError for a document that is not
// well-formed, a child before or at the match without "Name", or a match
// without "Version" or "SetupURL". The text is read as UTF-8 whatever the
// XML declaration says; no external entity is ever resolved.
bool ParseSettings(const std::string& text, TProductEntry& entry,
                   const std::string& productName = kProductName);

// 1 when published is newer than installed (or installed is empty), -1 when
// it is older (or published is empty), 0 when the first four dot-separated
// numbers are equal. Blanks and control characters at both ends are ignored
// alike; a part that is not a whole number counts as 0. A part too large for
// 64 bits makes its version invalid: the result is then -1 (no offer).
std::int8_t CompareVersions(const std::string& installed, const std::string& published);

}  // namespace launcher
