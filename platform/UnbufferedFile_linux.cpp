// The system's unbuffered opener on Linux: an ordered chain of ways to open a
// file, best first (see ReadPath).

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/DeviceExtentFile.h"
#include "platform/FileDescriptor.h"
#include "platform/UnbufferedFile.h"
#include "platform/UnbufferedFileErrors_linux.h"

namespace platform {

namespace {

std::string ErrnoText(const char* what, const std::filesystem::path& path) {
  return std::string(what) + " \"" + path.string() + "\": " + std::strerror(errno);
}

// O_NONBLOCK: a pipe given as source must not block the open.
FileDescriptor OpenForCache(const std::filesystem::path& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.IsOpen()) ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_RANDOM);
  return fd;
}

// A read through the page cache; the whole file's pages are dropped after it
// so that a retry goes back to the drive.
std::int64_t CachedRead(int fd, std::byte* buffer, std::size_t count, std::int64_t position) {
  const auto got = ::pread(fd, buffer, count, position);
  const int readErrno = errno;
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  errno = readErrno;
  return got;
}

constexpr auto kSector = static_cast<std::int64_t>(SectorSize);

// Reads at a tracked position with pread. A read that returns fewer bytes
// than the file has left fails a single-sector read: the kernel shrinks a
// disc's size after a medium error near its end. A run keeps the whole
// sectors it got.
class PositionalFile : public IUnbufferedFile {
 public:
  PositionalFile(FileDescriptor fd, std::int64_t size) : FFd(std::move(fd)), FSize(size) {}

  std::int64_t Size() const override { return FSize; }
  std::int64_t Position() const override { return FPosition; }
  bool Seek(std::int64_t position) override {
    if (position < 0) return false;
    FPosition = position;
    return true;
  }
  std::int64_t Read(std::byte* buffer, std::size_t count) override {
    return ReadUpTo(buffer, std::min(count, SectorSize), false);
  }
  std::int64_t ReadRun(std::byte* buffer, std::size_t count) override {
    return ReadUpTo(buffer, std::min(count, RunSize), true);
  }
  std::size_t MaxRunSize() const override { return RunSize; }
  ReadError LastError() const override { return FLastError; }
  std::optional<FileId> Id() const override {
    struct stat st {};
    if (::fstat(FFd.Get(), &st) != 0) return std::nullopt;
    return FileIdOfStat(st);
  }

 protected:
  // One read request of `count` bytes at FPosition; bytes read or -1 (errno).
  virtual std::int64_t ReadAt(std::byte* buffer, std::size_t count) = 0;
  FileDescriptor FFd;
  std::int64_t FSize;
  std::int64_t FPosition = 0;

 private:
  std::int64_t ReadUpTo(std::byte* buffer, std::size_t count, bool keepWholeSectors) {
    if (FPosition >= FSize || count == 0) return 0;
    const auto wanted = std::min<std::int64_t>(static_cast<std::int64_t>(count), FSize - FPosition);
    const std::int64_t got = ReadAt(buffer, count);
    if (got >= wanted) {
      FPosition += wanted;
      return wanted;
    }
    if (got < 0) {
      FLastError = ReadErrorOfErrno(errno);
      return -1;
    }
    const std::int64_t whole = keepWholeSectors ? got - got % kSector : 0;
    if (whole > 0) {
      FPosition += whole;
      return whole;
    }
    FLastError = ShortReadError(FFd.Get(), FPosition + wanted);
    return -1;
  }
  ReadError FLastError = ReadError::Medium;
};

// O_DIRECT: always whole aligned sectors, so the last partial sector of a
// file is asked for in full and comes back short, which the size explains.
// Some file systems accept O_DIRECT at open and refuse the reads (EINVAL, it
// never reaches the drive); such a file goes on through the cache at once.
class DirectFile final : public PositionalFile {
 public:
  DirectFile(FileDescriptor fd, std::int64_t size, std::filesystem::path path)
      : PositionalFile(std::move(fd), size), FPath(std::move(path)) {}
  ReadPath Path() const override { return FCached ? ReadPath::Cache : ReadPath::Direct; }

 protected:
  std::int64_t ReadAt(std::byte* buffer, std::size_t count) override {
    if (FCached) return CachedRead(FFd.Get(), buffer, count, FPosition);
    if (FPosition % kSector != 0) {
      errno = EINVAL;
      return -1;
    }
    const auto whole = (count + SectorSize - 1) / SectorSize * SectorSize;
    const auto got = ::pread(FFd.Get(), buffer, whole, FPosition);
    if (got >= 0 || errno != EINVAL || !SwitchToCache()) return got;
    return CachedRead(FFd.Get(), buffer, count, FPosition);
  }

 private:
  bool SwitchToCache() {
    FileDescriptor fd = OpenForCache(FPath);
    if (!fd.IsOpen()) return false;
    FFd = std::move(fd);
    FCached = true;
    return true;
  }
  std::filesystem::path FPath;
  bool FCached = false;
};

// Through the page cache: random-access advice at open, and the whole file's
// pages dropped after every block so that a retry goes back to the drive.
class CachedFile final : public PositionalFile {
 public:
  using PositionalFile::PositionalFile;
  ReadPath Path() const override { return ReadPath::Cache; }

 protected:
  std::int64_t ReadAt(std::byte* buffer, std::size_t count) override {
    return CachedRead(FFd.Get(), buffer, count, FPosition);
  }
};

// The length to copy: a regular file's, or a block device's (a whole disc
// given as its drive or a loop device over an image). Pipes, folders and
// character devices have none.
bool SourceSize(int fd, std::int64_t& size) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  if (S_ISREG(st.st_mode)) {
    size = static_cast<std::int64_t>(st.st_size);
    return true;
  }
  std::uint64_t bytes = 0;
  if (!S_ISBLK(st.st_mode) || ::ioctl(fd, BLKGETSIZE64, &bytes) != 0) return false;
  size = static_cast<std::int64_t>(bytes);
  return true;
}

// Whether O_DIRECT reads of 2048-byte sectors into a 4096-aligned buffer can
// work, as far as the kernel tells without a read: file systems that report
// their direct-I/O alignment may demand more (a 4096-byte logical block) or
// nothing at all (no direct I/O). Others are tried; see DirectFile.
bool DirectSectorReadsPossible(int fd) {
#ifdef STATX_DIOALIGN
  struct statx stx {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &stx) == 0 &&
      (stx.stx_mask & STATX_DIOALIGN)) {
    const auto offsetAlign = stx.stx_dio_offset_align;
    return offsetAlign != 0 && SectorSize % offsetAlign == 0 && stx.stx_dio_mem_align <= 4096;
  }
#else
  (void)fd;
#endif
  return true;
}

std::unique_ptr<IUnbufferedFile> OpenDirect(const std::filesystem::path& path, std::string& error) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC | O_NONBLOCK));
  if (!fd.IsOpen()) {
    error = ErrnoText("cannot open with O_DIRECT", path);
    return nullptr;
  }
  std::int64_t size = 0;
  if (!SourceSize(fd.Get(), size) || !DirectSectorReadsPossible(fd.Get())) {
    error = "O_DIRECT sector reads not possible for \"" + path.string() + "\"";
    return nullptr;
  }
  return std::make_unique<DirectFile>(std::move(fd), size, path);
}

std::unique_ptr<IUnbufferedFile> OpenCached(const std::filesystem::path& path, std::string& error) {
  FileDescriptor fd = OpenForCache(path);
  if (!fd.IsOpen()) {
    error = ErrnoText("cannot open", path);
    return nullptr;
  }
  std::int64_t size = 0;
  if (!SourceSize(fd.Get(), size)) {
    error = "neither a regular file nor a block device: \"" + path.string() + "\"";
    return nullptr;
  }
  return std::make_unique<CachedFile>(std::move(fd), size);
}

// The ways to open a file, best first; the first that works is used. The
// kernel's iso9660 driver refuses O_DIRECT and fails two sectors for one bad
// sector; such files are read from their device at their extents.
class LinuxUnbufferedOpener final : public IUnbufferedOpener {
 public:
  explicit LinuxUnbufferedOpener(std::filesystem::path mountInfo)
      : FMountInfo(std::move(mountInfo)) {}

  std::unique_ptr<IUnbufferedFile> Open(const std::filesystem::path& path,
                                        std::string& error) override {
    if (auto file = OpenDirect(path, error)) return file;
    if (auto file = OpenThroughDevice(path, error, FMountInfo)) return file;
    return OpenCached(path, error);
  }

 private:
  std::filesystem::path FMountInfo;  // the mount table the device path consults
};

}  // namespace

std::optional<FileId> FileIdOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdOfStat(st);
}

IUnbufferedOpener& SystemUnbufferedOpener() {
  static LinuxUnbufferedOpener opener("/proc/self/mountinfo");
  return opener;
}

std::unique_ptr<IUnbufferedOpener> MakeSystemUnbufferedOpener(
    const std::filesystem::path& mountInfo) {
  return std::make_unique<LinuxUnbufferedOpener>(mountInfo);
}

}  // namespace platform
