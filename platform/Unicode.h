#pragma once
// UTF-8 encoding and decoding, and Unicode's simple upper-case mapping: the
// one place for each, used by the text codec, the registry store and the
// disc directory reader.

#include <string>
#include <string_view>

namespace platform {

// Appends the UTF-8 form of aCode (a code point up to U+10FFFF).
void AppendUtf8(std::string& aOut, char32_t aCode);

// Decodes the code point at aText[aAt] into aCode and returns its length in
// bytes; 0 for a byte that does not start a valid sequence (overlong forms,
// surrogates and values above U+10FFFF included).
std::size_t DecodeUtf8At(std::string_view aText, std::size_t aAt, char32_t& aCode);

// Invalid UTF-8 bytes become U+FFFD, one per byte.
std::u32string Utf8ToUtf32(std::string_view aText);
// Values above U+10FFFF become U+FFFD.
std::string Utf32ToUtf8(std::u32string_view aText);

// The simple upper-case mapping of Unicode's character database (one code
// point to one code point, as the Windows registry and file systems compare
// names); a character without one maps to itself.
char32_t SimpleUpperCase(char32_t aCode);

}  // namespace platform
