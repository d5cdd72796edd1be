#include "platform/Unicode.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

void AppendUtf8(std::string& aOut, char32_t aCode) {
  if (aCode < 0x80) {
    aOut += static_cast<char>(aCode);
  } else if (aCode < 0x800) {
    aOut += static_cast<char>(0xC0 | (aCode >> 6));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else if (aCode < 0x10000) {
    aOut += static_cast<char>(0xE0 | (aCode >> 12));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else {
    aOut += static_cast<char>(0xF0 | (aCode >> 18));
    aOut += static_cast<char>(0x80 | ((aCode >> 12) & 0x3F));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  }
}

std::size_t DecodeUtf8At(std::string_view aText, std::size_t aAt, char32_t& aCode) {
  const auto lead = static_cast<unsigned char>(aText[aAt]);
  const std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
  if (length == 0 || aAt + length > aText.size()) return 0;
  char32_t c = length == 1   ? lead
               : length == 2 ? lead & 0x1F
               : length == 3 ? lead & 0x0F
                             : lead & 0x07;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(aText[aAt + k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < minimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  aCode = c;
  return length;
}

std::u32string Utf8ToUtf32(std::string_view aText) {
  std::u32string out;
  out.reserve(aText.size());
  for (std::size_t i = 0; i < aText.size();) {
    char32_t c = 0;
    const std::size_t length = DecodeUtf8At(aText, i, c);
    out += length ? c : kReplacement;
    i += length ? length : 1;
  }
  return out;
}

std::string Utf32ToUtf8(std::u32string_view aText) {
  std::string out;
  out.reserve(aText.size());
  for (char32_t c : aText) AppendUtf8(out, c > 0x10FFFF ? kReplacement : c);
  return out;
}

}  // namespace platform
