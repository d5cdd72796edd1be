#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/TargetFile.h"

namespace platform {

namespace {

class LinuxTargetFile final : public ITargetFile {
 public:
  explicit LinuxTargetFile(int fd) : fd_(fd) {}
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
    return std::make_unique<LinuxTargetFile>(fd);
  }
};

}  // namespace

ITargetCreator& SystemTargetCreator() {
  static LinuxTargetCreator creator;
  return creator;
}

}  // namespace platform
