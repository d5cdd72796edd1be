#pragma once
// Listing one folder for the disc scan: every entry, hidden ones included,
// with FAT/Windows attribute bits and a 64-bit size.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace platform {

// Attribute bits of a listed entry (FAT/Windows values).
inline constexpr std::uint32_t AttrReadOnly = 0x01;
inline constexpr std::uint32_t AttrHidden = 0x02;
inline constexpr std::uint32_t AttrSystem = 0x04;
inline constexpr std::uint32_t AttrDirectory = 0x10;
inline constexpr std::uint32_t AttrArchive = 0x20;
inline constexpr std::uint32_t AttrSymbolicLink = 0x400;  // a link, or a reparse point on Windows

// One entry of a folder.
struct DirectoryEntry {
  std::filesystem::path name;  // one native path component
  std::uint32_t attr = 0;
  std::int64_t size = 0;  // bytes; 0 for folders
};

// A folder opened for a walk. Its subfolders open relative to it, so that
// the depth of a tree is not bounded by the longest path the system accepts.
class IOpenFolder {
 public:
  virtual ~IOpenFolder() = default;
  // As IDirectoryEnumerator::List, for this folder.
  virtual bool List(std::vector<DirectoryEntry>& entries) = 0;
  // The subfolder `name` (one component); nullptr when it cannot be opened.
  virtual std::shared_ptr<IOpenFolder> OpenChild(const std::filesystem::path& name) = 0;
  // Gives back what the system holds for this folder (a descriptor); the
  // next List() or OpenChild() takes it again. A walk calls this on folders
  // it will come back to later, so that a deep tree does not hold one
  // descriptor per level.
  virtual void Release() {}
};

class IDirectoryEnumerator {
 public:
  virtual ~IDirectoryEnumerator() = default;
  // `folder` opened for a walk; nullptr when it cannot be opened. The
  // default lists by joined paths through List().
  virtual std::shared_ptr<IOpenFolder> OpenFolder(const std::filesystem::path& folder);
  // Lists the entries of `folder` in the order the system returns them,
  // without "." and "..". False (and no entries) when the folder cannot be
  // opened; a failure in the middle ends the list with what was read so far.
  virtual bool List(const std::filesystem::path& folder, std::vector<DirectoryEntry>& entries) = 0;
};

// The system's listing. On Linux, folders of a walk are opened relative to
// their parent's descriptor (openat, fdopendir), and:
// - folders get 0x10 and size 0 (as Windows reports them);
// - regular files get 0x20 (archive) and their size;
// - 0x01 (read-only) when no write permission bit is set, as on a disc;
// - 0x02 (hidden) for names beginning with ".";
// - a symbolic link gets 0x400 and the kind and size of what it points to, so a
//   link to a file is copied as that file, and a link to a folder carries
//   0x10|0x400, which the scan never enters (a link loop on a disc cannot trap
//   it, and the folder's contents are reached by its real path);
// - dangling links, devices, pipes and sockets are left out: there is nothing
//   to copy, and opening a pipe would block.
IDirectoryEnumerator& SystemDirectoryEnumerator();

}  // namespace platform
