#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/TargetFile.h"

namespace platform {

namespace {

class LinuxTargetFile final : public ITargetFile {
 public:
  LinuxTargetFile(int fd, std::int64_t size) : fd_(fd), size_(size) {}
  ~LinuxTargetFile() override { ::close(fd_); }
  LinuxTargetFile(const LinuxTargetFile&) = delete;
  LinuxTargetFile& operator=(const LinuxTargetFile&) = delete;

  std::int64_t Size() const override { return size_; }
  std::int64_t Write(const std::byte* data, std::size_t count) override {
    std::size_t done = 0;
    while (done < count) {
      const auto n = ::write(fd_, data + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != ENOSPC && errno != EFBIG)
        return done ? static_cast<std::int64_t>(done) : -1;
      if (n <= 0) break;  // the disk is full
      done += static_cast<std::size_t>(n);
    }
    size_ += static_cast<std::int64_t>(done);
    return static_cast<std::int64_t>(done);
  }
  std::int64_t WriteAt(std::int64_t offset, const std::byte* data, std::size_t count) override {
    std::size_t done = 0;
    while (done < count) {
      const auto n =
          ::pwrite(fd_, data + done, count - done, offset + static_cast<std::int64_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return done ? static_cast<std::int64_t>(done) : -1;
      done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  int fd_;
  std::int64_t size_ = 0;
};

class LinuxTargetCreator final : public ITargetCreator {
 public:
  std::unique_ptr<ITargetFile> Create(const std::filesystem::path& path,
                                      std::string& error) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      error = "cannot create \"" + path.string() + "\": " + std::strerror(errno);
      return nullptr;
    }
    return std::make_unique<LinuxTargetFile>(fd, 0);
  }
  std::unique_ptr<ITargetFile> OpenExisting(const std::filesystem::path& path,
                                            std::string& error) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      error = "cannot open \"" + path.string() + "\" for writing" +
              (fd < 0 ? std::string(": ") + std::strerror(errno) : std::string());
      if (fd >= 0) ::close(fd);
      return nullptr;
    }
    return std::make_unique<LinuxTargetFile>(fd, static_cast<std::int64_t>(st.st_size));
  }
};

}  // namespace

ITargetCreator& SystemTargetCreator() {
  static LinuxTargetCreator creator;
  return creator;
}

}  // namespace platform
