// The disc scan: reads a folder tree into the model, folders first.

#include <vector>

#include "engine/FileTree.h"
#include "platform/Files.h"

namespace {

// A folder the scan enters: a real folder (not a link to one, which could
// loop) whose name does not begin with "." (which also drops "." and "..").
bool IsFolderToEnter(const platform::DirectoryEntry& e) {
  return (e.attr & platform::AttrDirectory) && !(e.attr & platform::AttrSymbolicLink) &&
         !e.name.empty() && e.name.native()[0] != '.';
}

std::filesystem::path ChildPath(const std::filesystem::path& folder,
                                const std::filesystem::path& name) {
  auto text = folder.native();
  if (text.empty() || text.back() != platform::PathDelimiter)
    text.push_back(platform::PathDelimiter);
  return text + name.native();
}

}  // namespace

void TCustomDir::Scan(const std::filesystem::path& APath, bool AWithFiles) {
  Scan(APath, AWithFiles, platform::SystemDirectoryEnumerator());
}

void TCustomDir::Scan(const std::filesystem::path& APath, bool AWithFiles,
                      platform::IDirectoryEnumerator& AEnumerator) {
  std::vector<platform::DirectoryEntry> entries;
  // A folder that cannot be listed simply stays childless.
  if (AEnumerator.List(APath, entries)) {
    for (const auto& entry : entries) {
      if (!IsFolderToEnter(entry)) continue;
      auto* dir = new TCustomDir(this);  // owned by this folder from here on
      dir->LoadFromRec(entry);
      dir->Scan(ChildPath(APath, dir->Name()), AWithFiles, AEnumerator);
    }
  }
  if (AWithFiles) ScanFiles(APath, AEnumerator);
}

void TCustomDir::ScanFiles(const std::filesystem::path& APath) {
  ScanFiles(APath, platform::SystemDirectoryEnumerator());
}

void TCustomDir::ScanFiles(const std::filesystem::path& APath,
                           platform::IDirectoryEnumerator& AEnumerator) {
  std::vector<platform::DirectoryEntry> entries;
  if (!AEnumerator.List(APath, entries)) return;
  for (const auto& entry : entries) {
    if (entry.attr & platform::AttrDirectory) continue;
    auto* file = new TCustomFile(this);  // owned by this folder
    file->LoadFromRec(entry);
  }
}
