#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/DirectoryList.h"

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

class LinuxDirectoryEnumerator final : public IDirectoryEnumerator {
 public:
  bool List(const std::filesystem::path& folder, std::vector<DirectoryEntry>& entries) override {
    entries.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    const int fd = ::dirfd(dir);
    for (;;) {
      errno = 0;
      const dirent* d = ::readdir(dir);
      if (!d) break;  // the end, or a failure that ends the list here
      const char* name = d->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      DirectoryEntry entry;
      if (ToEntry(name, fd, entry)) entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return true;
  }
};

}  // namespace

IDirectoryEnumerator& SystemDirectoryEnumerator() {
  static LinuxDirectoryEnumerator enumerator;
  return enumerator;
}

}  // namespace platform
