#include "support/TextCodec.h"

#include <locale.h>
#include <wctype.h>

namespace support {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUnit(std::string& out, unsigned unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>((unit >> 8) & 0xFF);
}

// The C.UTF-8 locale carries Unicode's simple case mappings; it is opened
// once and never installed as the process locale.
locale_t UnicodeLocale() {
  static const locale_t locale =
      ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

std::u32string Utf8ToUtf32(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (c < minimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
      valid = false;
    out += valid ? c : kReplacement;
    i += valid ? length : 1;
  }
  return out;
}

std::string Utf32ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) AppendUtf8(out, c > 0x10FFFF ? kReplacement : c);
  return out;
}

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
  const locale_t locale = UnicodeLocale();
  for (char32_t& c : out) {
    if (c < 0x80) {
      if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    } else if (locale) {
      c = static_cast<char32_t>(::towupper_l(static_cast<wint_t>(c), locale));
    }
  }
  return out;
}

std::string UpperCase(std::string_view text) { return Utf32ToUtf8(UpperCase(Utf8ToUtf32(text))); }

}  // namespace support
