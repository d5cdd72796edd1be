#pragma once
// The one owner of an open file descriptor: closes it when it goes, moves but
// never copies, so every descriptor the core opens is closed exactly once.

namespace platform {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int aFd) : FFd(aFd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(FileDescriptor&& aOther) noexcept : FFd(aOther.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& aOther) noexcept {
    if (this != &aOther) Reset(aOther.Release());
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return FFd; }
  bool IsOpen() const { return FFd >= 0; }
  // Gives the descriptor up without closing it.
  int Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }
  // Closes the descriptor held, if any, and holds aFd.
  void Reset(int aFd = -1);

 private:
  int FFd = -1;
};

}  // namespace platform
