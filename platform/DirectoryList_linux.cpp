#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/DirectoryList.h"
#include "platform/FileDescriptor.h"

namespace platform {

namespace {

// Maps one entry's status onto attribute bits; false for kinds that are left out.
bool ToEntry(const char* name, int dirFd, DirectoryEntry& entry) {
  struct stat own {};
  if (::fstatat(dirFd, name, &own, AT_SYMLINK_NOFOLLOW) != 0) return false;
  struct stat target = own;
  std::uint32_t attr = 0;
  if (S_ISLNK(own.st_mode)) {
    if (::fstatat(dirFd, name, &target, 0) != 0) return false;  // dangling
    attr |= AttrSymbolicLink;
  }
  if (S_ISDIR(target.st_mode)) {
    attr |= AttrDirectory;
    entry.size = 0;
  } else if (S_ISREG(target.st_mode)) {
    attr |= AttrArchive;
    entry.size = static_cast<std::int64_t>(target.st_size);
  } else {
    return false;
  }
  if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attr |= AttrReadOnly;
  if (name[0] == '.') attr |= AttrHidden;
  entry.name = name;
  entry.attr = attr;
  return true;
}

// Reads a folder's entries through its open descriptor; the descriptor
// stays open for later calls.
bool ListDescriptor(int fd, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  FileDescriptor copy(::dup(fd));  // closedir() closes the descriptor it was given
  if (!copy.IsOpen()) return false;
  DIR* dir = ::fdopendir(copy.Get());
  if (!dir) return false;
  copy.Release();
  ::rewinddir(dir);  // the copy shares the position of an earlier listing
  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(dir);
    if (!d) break;  // the end, or a failure that ends the list here
    const char* name = d->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    DirectoryEntry entry;
    if (ToEntry(name, ::dirfd(dir), entry)) entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  return true;
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// A folder of a walk: the first by its path, every other by its name in its
// parent's descriptor. A released folder is opened again through its
// ancestors, reopening those that were released too for the moment.
class LinuxOpenFolder final : public IOpenFolder,
                              public std::enable_shared_from_this<LinuxOpenFolder> {
 public:
  explicit LinuxOpenFolder(const std::filesystem::path& aPath) : FPath(aPath) {}
  LinuxOpenFolder(std::shared_ptr<LinuxOpenFolder> aParent, const std::filesystem::path& aName,
                  FileDescriptor aFd)
      : FParent(std::move(aParent)), FName(aName), FFd(std::move(aFd)) {}

  bool List(std::vector<DirectoryEntry>& entries) override {
    entries.clear();
    return Open() && ListDescriptor(FFd.Get(), entries);
  }

  std::shared_ptr<IOpenFolder> OpenChild(const std::filesystem::path& name) override {
    if (!Open()) return nullptr;
    // Never through a link: the walk does not follow them.
    FileDescriptor fd(::openat(FFd.Get(), name.c_str(), kFolderFlags | O_NOFOLLOW));
    if (!fd.IsOpen()) return nullptr;
    return std::make_shared<LinuxOpenFolder>(shared_from_this(), name, std::move(fd));
  }

  void Release() override { FFd.Reset(); }

  bool Open() {
    if (FFd.IsOpen()) return true;
    std::vector<LinuxOpenFolder*> chain;  // this folder, then its released ancestors
    for (LinuxOpenFolder* f = this; f && !f->FFd.IsOpen(); f = f->FParent.get()) chain.push_back(f);
    bool ok = true;
    for (auto it = chain.rbegin(); ok && it != chain.rend(); ++it) {
      LinuxOpenFolder& f = **it;
      f.FFd.Reset(f.FParent
                      ? ::openat(f.FParent->FFd.Get(), f.FName.c_str(), kFolderFlags | O_NOFOLLOW)
                      : ::open(f.FPath.c_str(), kFolderFlags));
      ok = f.FFd.IsOpen();
    }
    for (std::size_t i = 1; i < chain.size(); ++i) chain[i]->Release();
    return FFd.IsOpen();
  }

 private:
  std::shared_ptr<LinuxOpenFolder> FParent;
  std::filesystem::path FName;  // in the parent
  std::filesystem::path FPath;  // of the first folder
  FileDescriptor FFd;
};

class LinuxDirectoryEnumerator final : public IDirectoryEnumerator {
 public:
  bool List(const std::filesystem::path& folder, std::vector<DirectoryEntry>& entries) override {
    entries.clear();
    const FileDescriptor fd(::open(folder.c_str(), kFolderFlags));
    return fd.IsOpen() && ListDescriptor(fd.Get(), entries);
  }

  std::shared_ptr<IOpenFolder> OpenFolder(const std::filesystem::path& folder) override {
    auto root = std::make_shared<LinuxOpenFolder>(folder);
    if (!root->Open()) return nullptr;
    return root;
  }
};

}  // namespace

IDirectoryEnumerator& SystemDirectoryEnumerator() {
  static LinuxDirectoryEnumerator enumerator;
  return enumerator;
}

}  // namespace platform
