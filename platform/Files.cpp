#include "platform/Files.h"

#include <system_error>

#include "platform/UnbufferedFile.h"

namespace platform {

namespace {

std::filesystem::path NormalPath(const std::filesystem::path& path) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(path, ec);
  if (ec) return path.lexically_normal();
  auto normal = std::filesystem::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : normal;
}

}  // namespace

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  const auto idA = FileIdOf(a);
  const auto idB = FileIdOf(b);
  if (idA || idB) return idA == idB;
  return NormalPath(a) == NormalPath(b);
}

bool IsAtOrBelow(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto p = path.begin();
  for (const auto& part : folder) {
    if (part.empty()) continue;  // a trailing delimiter
    while (p != path.end() && p->empty()) ++p;
    if (p == path.end() || *p != part) return false;
    ++p;
  }
  return true;
}

bool ForceFileFolder(const std::filesystem::path& file) {
  return !file.has_parent_path() || ForceDirectories(file.parent_path());
}

}  // namespace platform
