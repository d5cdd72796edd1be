#include "platform/DirectoryList.h"

#include "platform/Files.h"

namespace platform {

namespace {

// A folder known by its path: children are the path joined with their name.
class PathFolder final : public IOpenFolder {
 public:
  PathFolder(IDirectoryEnumerator& anEnumerator, std::filesystem::path aPath)
      : FEnumerator(anEnumerator), FPath(std::move(aPath)) {}
  bool List(std::vector<DirectoryEntry>& entries) override {
    return FEnumerator.List(FPath, entries);
  }
  std::shared_ptr<IOpenFolder> OpenChild(const std::filesystem::path& name) override {
    auto text = FPath.native();
    if (text.empty() || text.back() != PathDelimiter) text.push_back(PathDelimiter);
    return std::make_shared<PathFolder>(FEnumerator, text + name.native());
  }

 private:
  IDirectoryEnumerator& FEnumerator;
  std::filesystem::path FPath;
};

}  // namespace

std::shared_ptr<IOpenFolder> IDirectoryEnumerator::OpenFolder(const std::filesystem::path& folder) {
  return std::make_shared<PathFolder>(*this, folder);
}

}  // namespace platform
