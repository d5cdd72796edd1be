#include "platform/HexText.h"

namespace platform {

std::string HexText(const std::uint8_t* aBytes, std::size_t aCount) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(aCount * 2);
  for (std::size_t i = 0; i < aCount; ++i) {
    text += kDigits[aBytes[i] >> 4];
    text += kDigits[aBytes[i] & 0xF];
  }
  return text;
}

}  // namespace platform
