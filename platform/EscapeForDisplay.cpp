#include "platform/EscapeForDisplay.h"

#include <cstdint>

#include "platform/HexText.h"
#include "platform/Unicode.h"

namespace platform {

std::string EscapeForDisplay(std::string_view aText) {
  std::string out;
  for (std::size_t i = 0; i < aText.size();) {
    char32_t c = 0;
    const std::size_t length = DecodeUtf8At(aText, i, c);
    if (length == 0 || c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || (c == ' ' && i == 0)) {
      const std::size_t count = length == 0 ? 1 : length;
      for (std::size_t k = 0; k < count; ++k) {
        const auto b = static_cast<std::uint8_t>(aText[i + k]);
        if (b == '\t') {
          out += "\\t";
        } else if (b == '\n') {
          out += "\\n";
        } else if (b == '\r') {
          out += "\\r";
        } else {
          out += "\\x" + HexText(&b, 1);
        }
      }
      i += count;
      continue;
    }
    if (aText[i] == '\\') out += '\\';
    out.append(aText, i, length);
    i += length;
  }
  return out;
}

}  // namespace platform
