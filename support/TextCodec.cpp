#include "support/TextCodec.h"

#include "platform/Unicode.h"

namespace support {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUnit(std::string& out, unsigned unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>((unit >> 8) & 0xFF);
}

}  // namespace

std::u32string Utf8ToUtf32(std::string_view text) { return platform::Utf8ToUtf32(text); }

std::string Utf32ToUtf8(std::u32string_view text) { return platform::Utf32ToUtf8(text); }

std::string Utf8ToUtf16LE(std::string_view text) {
  std::string out;
  for (char32_t c : Utf8ToUtf32(text)) {
    if (c >= 0x10000) {
      c -= 0x10000;
      AppendUnit(out, 0xD800 + (c >> 10));
      AppendUnit(out, 0xDC00 + (c & 0x3FF));
    } else {
      AppendUnit(out, c);
    }
  }
  return out;
}

std::string Utf16LEToUtf8(std::string_view bytes) {
  std::u32string points;
  const auto unitAt = [&](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  };
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units && unitAt(i + 1) >= 0xDC00 &&
        unitAt(i + 1) <= 0xDFFF) {
      points += 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
      ++i;
    } else {
      points += (unit >= 0xD800 && unit <= 0xDFFF) ? kReplacement : unit;
    }
  }
  return Utf32ToUtf8(points);
}

std::u32string UpperCase(std::u32string_view text) {
  std::u32string out(text);
  for (char32_t& c : out) c = platform::SimpleUpperCase(c);
  return out;
}

std::string UpperCase(std::string_view text) { return Utf32ToUtf8(UpperCase(Utf8ToUtf32(text))); }

}  // namespace support
