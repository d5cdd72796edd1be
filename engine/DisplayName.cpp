#include "engine/DisplayName.h"

#include <cstdint>

#include "platform/HexText.h"
#include "platform/Unicode.h"

std::string EscapedName(const std::string& aName) {
  std::string out;
  for (std::size_t i = 0; i < aName.size();) {
    char32_t c = 0;
    const std::size_t length = platform::DecodeUtf8At(aName, i, c);
    const auto byte = static_cast<std::uint8_t>(aName[i]);
    if (length == 0 || c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || (c == ' ' && i == 0)) {
      const std::size_t count = length == 0 ? 1 : length;
      for (std::size_t k = 0; k < count; ++k) {
        const auto b = static_cast<std::uint8_t>(aName[i + k]);
        if (b == '\t') {
          out += "\\t";
        } else if (b == '\n') {
          out += "\\n";
        } else if (b == '\r') {
          out += "\\r";
        } else {
          out += "\\x" + platform::HexText(&b, 1);
        }
      }
      i += count;
      continue;
    }
    if (byte == '\\') out += '\\';
    out.append(aName, i, length);
    i += length;
  }
  return out;
}
