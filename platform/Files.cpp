#include "platform/Files.h"

namespace platform {

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
  if (!file.has_parent_path()) return true;
  return DirectoryExists(file.parent_path()) || ForceDirectories(file.parent_path());
}

}  // namespace platform
