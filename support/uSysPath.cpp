#include "support/uSysPath.h"

#include <memory>
#include <stdexcept>

#include "support/TextCodec.h"

namespace {

// The fifty folders in their fixed order, with the shell's identifiers.
constexpr struct {
  const char* name;
  std::uint16_t csidl;
} kFolders[] = {
    {"ADMINTOOLS", 0x30},
    {"ALTSTARTUP", 0x1D},
    {"APPDATA", 0x1A},
    {"BITBUCKET", 0x0A},
    {"CDBURN_AREA", 0x3B},
    {"COMMON_ADMINTOOLS", 0x2F},
    {"COMMON_ALTSTARTUP", 0x1E},
    {"COMMON_APPDATA", 0x23},
    {"COMMON_DESKTOPDIRECTORY", 0x19},
    {"COMMON_DOCUMENTS", 0x2E},
    {"COMMON_FAVORITES", 0x1F},
    {"COMMON_MUSIC", 0x35},
    {"COMMON_PICTURES", 0x36},
    {"COMMON_PROGRAMS", 0x17},
    {"COMMON_STARTMENU", 0x16},
    {"COMMON_STARTUP", 0x18},
    {"COMMON_TEMPLATES", 0x2D},
    {"COMMON_VIDEO", 0x37},
    {"CONTROLS", 0x03},
    {"COOKIES", 0x21},
    {"DESKTOP", 0x00},
    {"DESKTOPDIRECTORY", 0x10},
    {"DRIVES", 0x11},
    {"FAVORITES", 0x06},
    {"FONTS", 0x14},
    {"HISTORY", 0x22},
    {"INTERNET", 0x01},
    {"INTERNET_CACHE", 0x20},
    {"LOCAL_APPDATA", 0x1C},
    {"MYDOCUMENTS", 0x0C},
    {"MYMUSIC", 0x0D},
    {"MYPICTURES", 0x27},
    {"MYVIDEO", 0x0E},
    {"NETHOOD", 0x13},
    {"NETWORK", 0x12},
    {"PERSONAL", 0x05},
    {"PRINTERS", 0x04},
    {"PRINTHOOD", 0x1B},
    {"PROFILE", 0x28},
    {"PROFILES", 0x3E},
    {"PROGRAM_FILES", 0x26},
    {"PROGRAM_FILES_COMMON", 0x2B},
    {"PROGRAMS", 0x02},
    {"RECENT", 0x08},
    {"SENDTO", 0x09},
    {"STARTMENU", 0x0B},
    {"STARTUP", 0x07},
    {"SYSTEM", 0x25},
    {"TEMPLATES", 0x15},
    {"WINDOWS", 0x24},
};

// A remainder of this many characters or more is never folded into a token.
constexpr std::size_t kLongestPath = 32767;

std::unique_ptr<TSysPaths>& ProcessTable() {
  static std::unique_ptr<TSysPaths> table;
  return table;
}

}  // namespace

TSysPaths::TSysPaths(const platform::ISpecialFolders& folders) {
  FItems.reserve(std::size(kFolders));
  for (const auto& folder : kFolders)
    FItems.push_back(TSysPath{folder.name, folder.csidl, folders.FolderPath(folder.csidl)});
}

const TSysPath& TSysPaths::Get(int Index) const {
  return FItems.at(static_cast<std::size_t>(Index));
}

void TSysPaths::Put(int Index, TSysPath Item) {
  FItems.at(static_cast<std::size_t>(Index)) = std::move(Item);
}

std::string TSysPaths::AnnouncePath(const std::string& aPath, char NT) const {
  const auto first = aPath.find(NT);
  if (first == std::string::npos) return aPath;
  if (first != 0) return std::string();
  const auto second = aPath.find(NT, 1);
  if (second == std::string::npos) return std::string();
  const std::string name = support::UpperCase(aPath.substr(1, second - 1));
  const std::string rest = aPath.substr(second + 1);
  for (const auto& item : FItems)
    if (support::UpperCase(item.Name) == name) return item.Path + rest;
  return std::string();
}

std::string TSysPaths::DenouncePath(const std::string& aPath, char NT) const {
  // Compared in code points, so that upper-casing never shifts the cut.
  const std::u32string path = support::Utf8ToUtf32(aPath);
  const std::u32string upperPath = support::UpperCase(path);
  std::string result = aPath;
  std::size_t bestLength = kLongestPath;
  for (const auto& item : FItems) {
    if (item.Path.empty()) continue;
    const std::u32string folder = support::UpperCase(support::Utf8ToUtf32(item.Path));
    if (upperPath.compare(0, folder.size(), folder) != 0) continue;
    const std::size_t remainder = path.size() - folder.size();
    if (remainder < bestLength) {
      bestLength = remainder;
      result = std::string(1, NT) + item.Name + std::string(1, NT) +
               support::Utf32ToUtf8(path.substr(folder.size()));
    }
  }
  return result;
}

TSysPaths& SysPaths() {
  auto& table = ProcessTable();
  if (!table) table = std::make_unique<TSysPaths>();
  return *table;
}

void RebuildSysPaths() { ProcessTable() = std::make_unique<TSysPaths>(); }
