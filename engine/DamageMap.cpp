#include "engine/DamageMap.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <string_view>
#include <vector>

#include "platform/EscapeForDisplay.h"

namespace {

std::string Hex(std::int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

void Line(std::string& out, std::int64_t pos, std::int64_t size, char status) {
  if (size > 0) out += Hex(pos) + "  " + Hex(size) + "  " + status + "\n";
}

enum class Number : std::uint8_t { Valid, Invalid, TooLarge };

// A number as ddrescue writes it: decimal, hexadecimal after "0x", octal
// after a leading "0"; no sign. TooLarge past the largest 64-bit position.
Number ParseNumber(std::string_view text, std::int64_t& value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '0') {
    base = 8;
    text.remove_prefix(1);
  }
  if (text.empty() || text[0] == '+' || text[0] == '-') return Number::Invalid;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (end != text.data() + text.size()) return Number::Invalid;
  if (ec == std::errc::result_out_of_range) return Number::TooLarge;
  return ec == std::errc() ? Number::Valid : Number::Invalid;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The line's fields up to a comment ("#" after a blank, as ddrescuelog -A
// writes them).
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size() || line[i] == '#') break;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

// A bad line in a message: its first 80 characters at most, escaped, so that
// a huge or binary file cannot flood the terminal.
std::string Quote(std::string_view line) {
  constexpr std::size_t kShown = 80;
  // Appended, not "\"" + ...: GCC 12 warns (-Wrestrict) falsely on the insert
  // at the front that operator+ makes of it.
  std::string quoted = "\"";
  quoted += platform::EscapeForDisplay(line.substr(0, kShown));
  quoted += line.size() <= kShown ? "\"" : "\"...";
  return quoted;
}

}  // namespace

std::string FormatDdrescueMap(const TDamageMap& AMap) {
  std::string out =
      "# Mapfile. Created by velmora-cli copy\n"
      "# current_pos  current_status  current_pass\n" +
      Hex(AMap.Size) + "     +               1\n" + "#      pos        size  status\n";
  std::int64_t pos = 0;
  for (const auto& bad : AMap.Unreadable) {
    Line(out, pos, bad.Offset - pos, '+');
    Line(out, bad.Offset, bad.Length, '-');
    pos = bad.Offset + bad.Length;
  }
  Line(out, pos, AMap.Size - pos, '+');
  return out;
}

std::optional<TDamageMap> ParseDdrescueMap(const std::string& AText, std::string& AError) {
  TDamageMap map;
  bool statusSeen = false;
  std::size_t lineNumber = 0;
  const std::string_view text = AText;
  for (std::size_t at = 0; at < text.size();) {
    const auto newline = text.find('\n', at);
    const auto end = newline == std::string_view::npos ? text.size() : newline;
    const auto line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    const auto fields = Fields(line);
    if (fields.empty()) continue;
    if (!statusSeen) {  // current_pos current_status [current_pass]
      statusSeen = true;
      continue;
    }
    const auto where = [lineNumber] { return "line " + std::to_string(lineNumber); };
    std::int64_t pos = 0, size = 0;
    const auto posRead = ParseNumber(fields[0], pos);
    const auto sizeRead = fields.size() >= 2 ? ParseNumber(fields[1], size) : Number::Invalid;
    const bool numbers = posRead == Number::Valid && sizeRead == Number::Valid;
    if (posRead == Number::TooLarge || sizeRead == Number::TooLarge ||
        (numbers && size > std::numeric_limits<std::int64_t>::max() - pos)) {
      AError = where() + ": the block ends past the largest file size: " + Quote(line);
      return std::nullopt;
    }
    const std::string_view statuses = "?*/-+";
    if (!numbers || fields.size() != 3 || fields[2].size() != 1 ||
        statuses.find(fields[2][0]) == std::string_view::npos) {
      AError = where() + " is no mapfile block: " + Quote(line);
      return std::nullopt;
    }
    if (pos != map.Size) {
      AError = where() + ": blocks leave a gap or overlap at " + std::to_string(map.Size);
      return std::nullopt;
    }
    map.Size = pos + size;
    if (fields[2][0] != '+') AppendJoined(map.Unreadable, pos, size);
  }
  if (!statusSeen) {
    AError = "no mapfile status line";
    return std::nullopt;
  }
  return map;
}
