// HexToInt of uFunctions: hexadecimal text to a 32-bit integer.

#include <cstdint>
#include <exception>

#include "support/TextCodec.h"
#include "support/uFunctions.h"

std::int32_t HexToInt(const std::string& aText) {
  std::string text = aText;
  try {
    for (char& c : text) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    // Unsigned arithmetic: digits beyond the eighth push the high ones out.
    std::uint32_t result = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      std::uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        // The whole character, not just its first UTF-8 byte, is named.
        WriteErrorMessage(
            edsSilent, AID_Common_Forms, 1,
            "[HexToInt] incorrect char " +
                support::Utf32ToUtf8(support::Utf8ToUtf32(text.substr(i)).substr(0, 1)));
        return -1;
      }
      result = result * 16 + digit;
    }
    return static_cast<std::int32_t>(result);
  } catch (const std::exception&) {
    WriteErrorMessage(edsSilent, AID_Common_Forms, 1, "[HexToInt] " + text);
    return -1;
  }
}
