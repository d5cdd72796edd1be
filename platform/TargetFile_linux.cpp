#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/FileDescriptor.h"
#include "platform/TargetFile.h"

namespace platform {

namespace {

class LinuxTargetFile final : public ITargetFile {
 public:
  LinuxTargetFile(FileDescriptor fd, std::int64_t size) : FFd(std::move(fd)), FSize(size) {}

  std::int64_t Size() const override { return FSize; }
  std::int64_t Write(const std::byte* data, std::size_t count) override {
    std::size_t done = 0;
    while (done < count) {
      const auto n = ::write(FFd.Get(), data + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) FLastError = std::strerror(errno);
      if (n < 0 && errno != ENOSPC && errno != EFBIG)
        return done ? static_cast<std::int64_t>(done) : -1;
      if (n <= 0) break;  // the disk is full
      done += static_cast<std::size_t>(n);
    }
    FSize += static_cast<std::int64_t>(done);
    return static_cast<std::int64_t>(done);
  }
  std::int64_t WriteAt(std::int64_t offset, const std::byte* data, std::size_t count) override {
    std::size_t done = 0;
    while (done < count) {
      const auto n =
          ::pwrite(FFd.Get(), data + done, count - done, offset + static_cast<std::int64_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) FLastError = std::strerror(errno);
      if (n <= 0) return done ? static_cast<std::int64_t>(done) : -1;
      done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
  }
  std::string LastErrorText() const override { return FLastError; }

 private:
  FileDescriptor FFd;
  std::int64_t FSize = 0;
  std::string FLastError;
};

// Takes the whole-file lock that tells writers of the same target apart.
// The lock belongs to the open file, so it goes when the file is closed,
// also when the program dies. A file system without locks (ENOLCK,
// EOPNOTSUPP) still takes the file: only a writer holding it refuses it.
bool HoldAgainstOtherWriters(const FileDescriptor& fd, std::string& reason) {
  while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return true;
    reason = TargetBusyText;
    return false;
  }
  return true;
}

class LinuxTargetCreator final : public ITargetCreator {
 public:
  std::unique_ptr<ITargetFile> Create(const std::filesystem::path& path,
                                      std::string& error) override {
    // Truncated only once held: a writer that comes second must not cut
    // the file the first one is writing.
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    std::string reason;
    if (!fd.IsOpen())
      reason = std::strerror(errno);
    else if (HoldAgainstOtherWriters(fd, reason) && ::ftruncate(fd.Get(), 0) != 0)
      reason = std::strerror(errno);
    if (!reason.empty()) {
      error = "cannot create \"" + path.string() + "\": " + reason;
      return nullptr;
    }
    return std::make_unique<LinuxTargetFile>(std::move(fd), 0);
  }
  std::unique_ptr<ITargetFile> OpenExisting(const std::filesystem::path& path,
                                            std::string& error) override {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    struct stat st {};
    std::string reason;
    if (!fd.IsOpen())
      reason = std::strerror(errno);
    else if (HoldAgainstOtherWriters(fd, reason) && ::fstat(fd.Get(), &st) != 0)
      reason = std::strerror(errno);
    if (!reason.empty() || !S_ISREG(st.st_mode)) {
      error = "cannot open \"" + path.string() + "\" for writing" +
              (reason.empty() ? std::string() : ": " + reason);
      return nullptr;
    }
    return std::make_unique<LinuxTargetFile>(std::move(fd), static_cast<std::int64_t>(st.st_size));
  }
};

}  // namespace

ITargetCreator& SystemTargetCreator() {
  static LinuxTargetCreator creator;
  return creator;
}

}  // namespace platform
