// The disc scan: reads a folder tree into the model, folders first.

#include <memory>
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

// Folders a walk keeps open at once; those further up give their descriptors
// back and are opened again when the walk returns to them.
constexpr std::size_t kOpenFolders = 32;

// Adds a folder's entries to aDir, subfolders first, then (aWithFiles) the
// files; returns the subfolders to enter. A folder that cannot be listed
// simply stays childless.
std::vector<TCustomDir*> Fill(TCustomDir& aDir, platform::IOpenFolder& aFolder, bool aWithFiles) {
  std::vector<platform::DirectoryEntry> entries;
  std::vector<TCustomDir*> subfolders;
  if (!aFolder.List(entries)) return subfolders;
  for (const auto& entry : entries) {
    if (!IsFolderToEnter(entry)) continue;
    auto* dir = new TCustomDir(&aDir);  // owned by aDir from here on
    dir->LoadFromRec(entry);
    subfolders.push_back(dir);
  }
  if (aWithFiles) {
    for (const auto& entry : entries) {
      if (entry.attr & platform::AttrDirectory) continue;
      auto* file = new TCustomFile(&aDir);  // owned by aDir
      file->LoadFromRec(entry);
    }
  }
  return subfolders;
}

// A folder of the walk whose subfolders are being entered.
struct Visit {
  std::shared_ptr<platform::IOpenFolder> folder;
  std::vector<TCustomDir*> subfolders;
  std::size_t next = 0;
};

}  // namespace

void TCustomDir::Scan(const std::filesystem::path& APath, bool AWithFiles) {
  Scan(APath, AWithFiles, platform::SystemDirectoryEnumerator());
}

// Depth first, without recursion and with descriptors relative to the
// parent, so that the depth of a tree is bounded only by memory.
void TCustomDir::Scan(const std::filesystem::path& APath, bool AWithFiles,
                      platform::IDirectoryEnumerator& AEnumerator) {
  auto root = AEnumerator.OpenFolder(APath);
  if (!root) return;
  std::vector<Visit> walk;
  auto subfolders = Fill(*this, *root, AWithFiles);
  walk.push_back({std::move(root), std::move(subfolders)});
  while (!walk.empty()) {
    Visit& top = walk.back();
    if (top.next == top.subfolders.size()) {
      walk.pop_back();
      continue;
    }
    TCustomDir* dir = top.subfolders[top.next++];
    auto folder = top.folder->OpenChild(dir->Name());
    if (top.next == top.subfolders.size()) top.folder->Release();  // not needed again
    if (!folder) continue;  // a folder that cannot be entered stays childless
    auto inner = Fill(*dir, *folder, AWithFiles);
    walk.push_back({std::move(folder), std::move(inner)});
    if (walk.size() > kOpenFolders) walk[walk.size() - 1 - kOpenFolders].folder->Release();
  }
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
