// UTF-8 <-> UTF-16 conversions.

#include "support/Utf16Text.h"

namespace support {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the code point at aText[i] and moves i past it.
char32_t NextCodePoint(const std::string& aText, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(aText[i++]);
  if (b0 < 0x80) return b0;
  int more = 0;
  char32_t c = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    more = 1;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    more = 2;
    c = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    more = 3;
    c = b0 & 0x07;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < more; ++k) {
    if (i >= aText.size() || (static_cast<unsigned char>(aText[i]) & 0xC0) != 0x80) {
      return kReplacement;
    }
    c = (c << 6) | (static_cast<unsigned char>(aText[i++]) & 0x3F);
  }
  const bool overlong = (more == 2 && c < 0x800) || (more == 3 && c < 0x10000);
  if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  return c;
}

void AppendUtf8(std::string& aOut, char32_t c) {
  if (c < 0x80) {
    aOut += static_cast<char>(c);
  } else if (c < 0x800) {
    aOut += static_cast<char>(0xC0 | (c >> 6));
    aOut += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    aOut += static_cast<char>(0xE0 | (c >> 12));
    aOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    aOut += static_cast<char>(0xF0 | (c >> 18));
    aOut += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    aOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& aText) {
  std::u16string units;
  std::size_t i = 0;
  while (i < aText.size()) {
    const char32_t c = NextCodePoint(aText, i);
    if (c >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
  }
  return units;
}

std::string Utf16ToUtf8(const std::u16string& aUnits) {
  std::string text;
  for (std::size_t i = 0; i < aUnits.size(); ++i) {
    char32_t c = aUnits[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aUnits.size() && aUnits[i + 1] >= 0xDC00 &&
        aUnits[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (aUnits[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;  // an unpaired surrogate
    }
    AppendUtf8(text, c);
  }
  return text;
}

std::vector<std::uint8_t> Utf8ToUtf16LE(const std::string& aText) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t u : Utf8ToUtf16(aText)) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return bytes;
}

std::u16string Utf16LEUnits(const std::vector<std::uint8_t>& aBytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < aBytes.size(); i += 2) {
    units += static_cast<char16_t>(aBytes[i] | (aBytes[i + 1] << 8));
  }
  return units;
}

std::string Utf8Substr(const std::string& aText, std::size_t aStart, std::size_t aCount) {
  std::size_t i = 0;
  std::size_t index = 0;
  std::size_t from = aText.size();
  while (i < aText.size() && index < aStart + aCount) {
    if (index == aStart) from = i;
    NextCodePoint(aText, i);
    ++index;
  }
  return from < i ? aText.substr(from, i - from) : std::string();
}

}  // namespace support
