// The system's unbuffered opener on Linux: an ordered chain of ways to open a
// file, best first (see ReadPath).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/UnbufferedFile.h"

namespace platform {

namespace {

std::string ErrnoText(const char* what, const std::filesystem::path& path) {
  return std::string(what) + " \"" + path.string() + "\": " + std::strerror(errno);
}

// Reads one block at a tracked position with pread. A read that returns fewer
// bytes than the file has left is a failure: the kernel shrinks a disc's size
// after a medium error near its end.
class PositionalFile : public IUnbufferedFile {
 public:
  PositionalFile(int fd, std::int64_t size) : fd_(fd), size_(size) {}
  ~PositionalFile() override { ::close(fd_); }
  PositionalFile(const PositionalFile&) = delete;
  PositionalFile& operator=(const PositionalFile&) = delete;

  std::int64_t Size() const override { return size_; }
  std::int64_t Position() const override { return position_; }
  bool Seek(std::int64_t position) override {
    if (position < 0) return false;
    position_ = position;
    return true;
  }
  std::int64_t Read(std::byte* buffer, std::size_t count) override {
    if (count > SectorSize) count = SectorSize;
    if (position_ >= size_) return 0;
    const auto wanted = static_cast<std::int64_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - position_));
    const std::int64_t got = ReadAt(buffer, count);
    if (got < wanted) return -1;
    position_ += wanted;
    return wanted;
  }

 protected:
  // One read attempt at position_; bytes read or -1.
  virtual std::int64_t ReadAt(std::byte* buffer, std::size_t count) = 0;
  int fd_;
  std::int64_t size_;
  std::int64_t position_ = 0;
};

// O_DIRECT: always a whole aligned sector, so the last partial sector of a
// file is asked for in full and comes back short, which the size explains.
class DirectFile final : public PositionalFile {
 public:
  using PositionalFile::PositionalFile;
  ReadPath Path() const override { return ReadPath::Direct; }

 protected:
  std::int64_t ReadAt(std::byte* buffer, std::size_t) override {
    if (position_ % static_cast<std::int64_t>(SectorSize) != 0) return -1;
    return ::pread(fd_, buffer, SectorSize, position_);
  }
};

// Through the page cache: random-access advice at open, and the whole file's
// pages dropped after every block so that a retry goes back to the drive.
class CachedFile final : public PositionalFile {
 public:
  using PositionalFile::PositionalFile;
  ReadPath Path() const override { return ReadPath::Cache; }

 protected:
  std::int64_t ReadAt(std::byte* buffer, std::size_t count) override {
    const auto got = ::pread(fd_, buffer, count, position_);
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
    return got;
  }
};

bool RegularFileSize(int fd, std::int64_t& size) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<std::int64_t>(st.st_size);
  return true;
}

// Whether O_DIRECT reads of 2048-byte sectors work on this file: the file
// system may accept the flag at open and still refuse the reads (EINVAL), or
// demand a larger alignment (a 4096-byte logical block size).
bool DirectSectorReadsWork(int fd, std::int64_t size) {
  if (size <= static_cast<std::int64_t>(SectorSize)) {
    AlignedSector probe;
    return ::pread(fd, probe.bytes, SectorSize, 0) >= 0 || errno != EINVAL;
  }
  // A read at the second sector shows whether 2048-byte alignment is enough.
  // An I/O error means the path works and that sector is bad.
  AlignedSector probe;
  return ::pread(fd, probe.bytes, SectorSize, static_cast<off_t>(SectorSize)) >= 0 ||
         errno != EINVAL;
}

std::unique_ptr<IUnbufferedFile> OpenDirect(const std::filesystem::path& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = ErrnoText("cannot open with O_DIRECT", path);
    return nullptr;
  }
  std::int64_t size = 0;
  if (!RegularFileSize(fd, size) || !DirectSectorReadsWork(fd, size)) {
    error = "O_DIRECT sector reads not possible for \"" + path.string() + "\"";
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<DirectFile>(fd, size);
}

std::unique_ptr<IUnbufferedFile> OpenCached(const std::filesystem::path& path, std::string& error) {
  // O_NONBLOCK: a pipe given as source must not block the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = ErrnoText("cannot open", path);
    return nullptr;
  }
  std::int64_t size = 0;
  if (!RegularFileSize(fd, size)) {
    error = "not a regular file: \"" + path.string() + "\"";
    ::close(fd);
    return nullptr;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  return std::make_unique<CachedFile>(fd, size);
}

using OpenAttempt = std::unique_ptr<IUnbufferedFile> (*)(const std::filesystem::path&,
                                                         std::string&);

// The ways to open a file, best first; the first that works is used.
constexpr std::array kOpenAttempts = {
    OpenAttempt{&OpenDirect},
    // sector reads from the device at an iso9660 file's extents go here
    OpenAttempt{&OpenCached},
};

class LinuxUnbufferedOpener final : public IUnbufferedOpener {
 public:
  std::unique_ptr<IUnbufferedFile> Open(const std::filesystem::path& path,
                                        std::string& error) override {
    for (const OpenAttempt attempt : kOpenAttempts) {
      if (auto file = attempt(path, error)) return file;
    }
    return nullptr;
  }
};

}  // namespace

IUnbufferedOpener& SystemUnbufferedOpener() {
  static LinuxUnbufferedOpener opener;
  return opener;
}

}  // namespace platform
