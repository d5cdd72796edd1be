// libFuzzer target over what the network hands the launcher: the bytes of a
// settings archive, through extraction, to the settings document's rules.
// The same bytes are also parsed as a document on their own, so the XML
// reader is reached without the fuzzer having to forge the cipher.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "launcher/SettingsArchive.h"
#include "launcher/SettingsDocument.h"

namespace {

void Parse(const std::string& text) {
  launcher::TProductEntry entry;
  try {
    if (launcher::ParseSettings(text, entry)) {
      (void)launcher::CompareVersions("2.0.0.0", entry.Version);
    }
  } catch (const launcher::ESettingsFormatError&) {
    // A refused document is a correct outcome.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto document = launcher::ExtractSettingsDocument(bytes)) Parse(*document);
  Parse(std::string(bytes));
  return 0;
}
