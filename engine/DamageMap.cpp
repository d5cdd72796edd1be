#include "engine/DamageMap.h"

#include <cstdio>
#include <sstream>

namespace {

std::string Hex(std::int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

void Line(std::string& out, std::int64_t pos, std::int64_t size, char status) {
  if (size > 0) out += Hex(pos) + "  " + Hex(size) + "  " + status + "\n";
}

// A number as ddrescue writes it: decimal, or hexadecimal after "0x".
bool ParseNumber(const std::string& text, std::int64_t& value) {
  try {
    std::size_t used = 0;
    value = std::stoll(text, &used, 0);
    return used == text.size() && value >= 0;
  } catch (const std::exception&) {
    return false;
  }
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
  std::istringstream in(AText);
  TDamageMap map;
  bool statusSeen = false;
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string first, second, third;
    fields >> first >> second >> third;
    if (!statusSeen) {  // current_pos current_status [current_pass]
      statusSeen = true;
      continue;
    }
    std::int64_t pos = 0, size = 0;
    const std::string statuses = "?*/-+";
    if (!ParseNumber(first, pos) || !ParseNumber(second, size) || third.size() != 1 ||
        statuses.find(third[0]) == std::string::npos) {
      AError = "line " + std::to_string(lineNumber) + " is no mapfile block: " + line;
      return std::nullopt;
    }
    if (pos != map.Size) {
      AError = "line " + std::to_string(lineNumber) + ": blocks leave a gap or overlap at " +
               std::to_string(map.Size);
      return std::nullopt;
    }
    map.Size = pos + size;
    if (third[0] != '+') AppendJoined(map.Unreadable, pos, size);
  }
  if (!statusSeen) {
    AError = "no mapfile status line";
    return std::nullopt;
  }
  return map;
}
