#include "platform/MountTable.h"

#include <fstream>
#include <iterator>

#include "platform/Files.h"

namespace platform {

namespace {

// mountinfo escapes blank, tab, newline and backslash as three octal digits.
std::string Unescape(std::string_view field) {
  const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
        isOctal(field[i + 2]) && isOctal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    const std::size_t end = line.find(' ', pos);
    if (pos < line.size()) fields.push_back(line.substr(pos, end - pos));
    pos = end == std::string_view::npos ? line.size() : end;
  }
  return fields;
}

bool ParseLine(std::string_view line, MountEntry& entry) {
  const auto fields = SplitFields(line);
  // 36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue
  std::size_t dash = 6;
  while (dash < fields.size() && fields[dash] != "-") ++dash;
  if (fields.size() < 6 || dash + 3 > fields.size()) return false;
  try {
    entry.mountId = std::stoi(std::string(fields[0]));
    entry.parentId = std::stoi(std::string(fields[1]));
    const std::string dev(fields[2]);
    const auto colon = dev.find(':');
    if (colon == std::string::npos) return false;
    entry.major = static_cast<unsigned>(std::stoul(dev.substr(0, colon)));
    entry.minor = static_cast<unsigned>(std::stoul(dev.substr(colon + 1)));
  } catch (const std::exception&) {
    return false;
  }
  entry.root = Unescape(fields[3]);
  entry.mountPoint = Unescape(fields[4]);
  entry.mountOptions = std::string(fields[5]);
  entry.fsType = Unescape(fields[dash + 1]);
  entry.source = Unescape(fields[dash + 2]);
  entry.superOptions = dash + 3 < fields.size() ? std::string(fields[dash + 3]) : std::string();
  return true;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> table;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    MountEntry entry;
    if (ParseLine(text.substr(pos, end - pos), entry)) table.push_back(std::move(entry));
    pos = end + 1;
  }
  return table;
}

std::vector<MountEntry> ReadMountTable(const std::filesystem::path& mountInfo) {
  std::ifstream in(mountInfo, std::ios::binary);
  if (!in) return {};
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  return ParseMountInfo(text);
}

std::optional<MountEntry> MountHolding(const std::vector<MountEntry>& table,
                                       const std::filesystem::path& absolutePath) {
  const MountEntry* best = nullptr;
  std::size_t bestLength = 0;
  const auto path = absolutePath.lexically_normal();
  for (const auto& entry : table) {
    if (!IsAtOrBelow(path, entry.mountPoint)) continue;
    const std::size_t length = std::distance(entry.mountPoint.begin(), entry.mountPoint.end());
    if (!best || length >= bestLength) {
      best = &entry;
      bestLength = length;
    }
  }
  return best ? std::optional<MountEntry>(*best) : std::nullopt;
}

std::vector<std::string_view> SplitMountOptions(std::string_view options) {
  std::vector<std::string_view> items;
  std::size_t pos = 0;
  while (pos <= options.size()) {
    std::size_t end = options.find(',', pos);
    if (end == std::string_view::npos) end = options.size();
    items.push_back(options.substr(pos, end - pos));
    pos = end + 1;
  }
  return items;
}

bool HasMountOption(std::string_view options, std::string_view option) {
  for (const auto item : SplitMountOptions(options)) {
    if (item == option) return true;
  }
  return false;
}

std::optional<std::string> MountOptionValue(std::string_view options, std::string_view key) {
  for (const auto item : SplitMountOptions(options)) {
    if (item.size() > key.size() && item.substr(0, key.size()) == key && item[key.size()] == '=')
      return std::string(item.substr(key.size() + 1));
  }
  return std::nullopt;
}

}  // namespace platform
