#pragma once
// UTF-8 <-> UTF-16 conversions for registry values kept as UTF-16LE bytes.
// Malformed input becomes U+FFFD rather than an error.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace support {

std::u16string Utf8ToUtf16(const std::string& aText);
std::string Utf16ToUtf8(const std::u16string& aUnits);

// The UTF-16LE bytes of a UTF-8 text, without a terminator.
std::vector<std::uint8_t> Utf8ToUtf16LE(const std::string& aText);
// The UTF-16 units of little-endian bytes; an odd last byte is ignored.
std::u16string Utf16LEUnits(const std::vector<std::uint8_t>& aBytes);

// aCount characters (code points) of a UTF-8 text from the character at
// aStart (0-based), fewer when the text ends first.
std::string Utf8Substr(const std::string& aText, std::size_t aStart, std::size_t aCount);

}  // namespace support
