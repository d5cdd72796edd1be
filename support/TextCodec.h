#pragma once
// Conversions between the core's UTF-8 texts and the forms some formats
// demand: UTF-16 little-endian bytes ("Err.log" lines, wide registry data)
// and code points for Unicode case-insensitive comparisons.

#include <string>
#include <string_view>

namespace support {

// Invalid UTF-8 bytes become U+FFFD.
std::u32string Utf8ToUtf32(std::string_view text);
std::string Utf32ToUtf8(std::u32string_view text);

// UTF-16LE bytes, two per code unit, no byte-order mark.
std::string Utf8ToUtf16LE(std::string_view text);
// Decodes UTF-16LE bytes (an odd last byte is dropped; lone surrogates become U+FFFD).
std::string Utf16LEToUtf8(std::string_view bytes);

// Unicode upper-casing, code point by code point.
std::u32string UpperCase(std::u32string_view text);
std::string UpperCase(std::string_view text);

}  // namespace support
