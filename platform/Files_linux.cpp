#include "platform/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/FileDescriptor.h"

namespace platform {

bool FileExists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool DirectoryExists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

bool ForceDirectories(const std::filesystem::path& path) {
  std::string reason;
  return ForceDirectories(path, reason);
}

bool ForceDirectories(const std::filesystem::path& path, std::string& reason) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (DirectoryExists(path)) return true;
  reason = ec ? ec.message() : "not a folder";
  return false;
}

namespace {

bool LockWithin(int fd, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

bool AppendToFile(const std::filesystem::path& path, std::string_view bytes,
                  std::chrono::milliseconds lockWait) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (fd.Get() < 0) return false;
  if (!LockWithin(fd.Get(), lockWait)) return false;
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd.Get(), data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;  // a full disk stores nothing more; never spin on it
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;  // closing the descriptor releases the lock
}

ReadFileStatus ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                               std::string& bytes, std::string& error) {
  bytes.clear();
  const auto failed = [&error](int code) {
    error = std::error_code(code, std::generic_category()).message();
    return code == ENOENT ? ReadFileStatus::Missing : ReadFileStatus::Failed;
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return failed(errno);
  if (!S_ISREG(st.st_mode)) return ReadFileStatus::NotRegular;
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return ReadFileStatus::TooLarge;
  // Without waiting: should the name turn into a FIFO after the check, the
  // open returns at once and the check below refuses it.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.IsOpen()) return failed(errno);
  if (::fstat(fd.Get(), &st) != 0) return failed(errno);
  if (!S_ISREG(st.st_mode)) return ReadFileStatus::NotRegular;
  // At most one byte past the limit is read, however the file grows meanwhile.
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return failed(errno);
    if (got == 0) return ReadFileStatus::Read;
    const auto room = maxBytes - bytes.size();
    if (static_cast<std::uint64_t>(got) > room) {
      bytes.clear();
      return ReadFileStatus::TooLarge;
    }
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
}

std::filesystem::path SelfExecutablePath() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self;
}

}  // namespace platform
