#pragma once
// Bytes as hexadecimal text: two upper-case digits per byte, no separators
// ("000AFF"), as registry data and escaped names print them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

std::string HexText(const std::uint8_t* aBytes, std::size_t aCount);
inline std::string HexText(const std::vector<std::uint8_t>& aBytes) {
  return HexText(aBytes.data(), aBytes.size());
}

}  // namespace platform
