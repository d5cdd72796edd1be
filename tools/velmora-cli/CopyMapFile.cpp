#include "CopyMapFile.h"

#include <fstream>
#include <utility>

#include "platform/Files.h"

namespace cli {

namespace {

std::filesystem::path TemporaryOf(const std::filesystem::path& path) {
  auto temporary = path;
  temporary += ".new";
  return temporary;
}

// Appended, not "\"" + path.string(): GCC 12 warns (-Wrestrict) falsely on
// the insert at the front that operator+ makes of it.
std::string Quoted(const std::filesystem::path& path) {
  std::string quoted = "\"";
  quoted += path.string();
  quoted += '"';
  return quoted;
}

}  // namespace

bool CheckMapFile(const std::filesystem::path& path, const std::filesystem::path& source,
                  const std::filesystem::path& target, std::string& error) {
  const std::pair<const char*, const std::filesystem::path*> files[] = {{"target", &target},
                                                                        {"source", &source}};
  for (const auto& [role, file] : files) {
    if (platform::IsSameFile(path, *file)) {
      error = "the map " + Quoted(path) + " is the " + role + " file itself; name another map";
      return false;
    }
    if (platform::IsSameFile(TemporaryOf(path), *file)) {
      error = "the map's temporary file " + Quoted(TemporaryOf(path)) + " is the " + role +
              " file; name another map";
      return false;
    }
  }
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !platform::FileExists(path)) {
    error = "the map " + Quoted(path) + " is not a regular file";
    return false;
  }
  return true;
}

std::optional<TDamageMap> ReadMapFile(const std::filesystem::path& path, std::string& error) {
  std::string text;
  std::string why;
  switch (platform::ReadRegularFile(path, kMaxMapFileBytes, text, why)) {
    case platform::ReadFileStatus::Read:
      break;
    case platform::ReadFileStatus::NotRegular:
      error = "the map " + Quoted(path) + " is not a regular file";
      return std::nullopt;
    case platform::ReadFileStatus::TooLarge:
      error = "the map " + Quoted(path) + " is larger than " +
              std::to_string(kMaxMapFileBytes >> 20) + " MiB: no map of a copy";
      return std::nullopt;
    case platform::ReadFileStatus::Missing:
    case platform::ReadFileStatus::Failed:
      error = "cannot read the map " + Quoted(path) + ": " + why;
      return std::nullopt;
  }
  if (text.empty()) {
    error = "the map " + Quoted(path) + " is empty";
    return std::nullopt;
  }
  auto map = ParseDdrescueMap(text, error);
  if (!map) error = "the map " + Quoted(path) + " is no mapfile: " + error;
  return map;
}

bool WriteMapFile(const std::filesystem::path& path, const TDamageMap& map, std::string& error) {
  const auto temporary = TemporaryOf(path);
  std::error_code ec;
  // A leftover of an interrupted run goes first, so that a link by that name
  // is replaced, never written through.
  std::filesystem::remove(temporary, ec);
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << FormatDdrescueMap(map);
    out.flush();
    written = static_cast<bool>(out);
  }
  if (written) {
    std::filesystem::rename(temporary, path, ec);
    if (!ec) return true;
    error = "cannot write the map " + Quoted(path) + ": " + ec.message();
  } else {
    error = "cannot write the map " + Quoted(temporary);
  }
  std::filesystem::remove(temporary, ec);
  return false;
}

}  // namespace cli
