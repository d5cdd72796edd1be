#include "CopyMapFile.h"

#include <fstream>
#include <sstream>

namespace cli {

std::optional<TDamageMap> ReadMapFile(const std::filesystem::path& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (!in || !(text << in.rdbuf())) {
    error = "cannot read the map \"" + path.string() + "\"";
    return std::nullopt;
  }
  auto map = ParseDdrescueMap(text.str(), error);
  if (!map) error = "the map \"" + path.string() + "\" is no mapfile: " + error;
  return map;
}

bool WriteMapFile(const std::filesystem::path& path, const TDamageMap& map, std::string& error) {
  auto temporary = path;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << FormatDdrescueMap(map);
    out.flush();
    if (!out) {
      error = "cannot write the map \"" + temporary.string() + "\"";
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) error = "cannot write the map \"" + path.string() + "\": " + ec.message();
  return !ec;
}

}  // namespace cli
