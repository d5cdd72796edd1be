#include "DiscFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace faultfs_test {

std::string PatternBytes(std::uint64_t offset, std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t at = offset + i;
    bytes[i] = static_cast<char>((at * 7 + (at / Sector) * 13 + (at >> 32)) & 0xFF);
  }
  return bytes;
}

void WritePattern(const std::filesystem::path& file, std::uint64_t offset, std::size_t size) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + file.string());
  const std::string bytes = PatternBytes(offset, size);
  const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
  ::close(fd);
  if (n != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("cannot write " + file.string());
}

ReadResult ReadOnce(const std::filesystem::path& file, std::uint64_t offset, std::size_t size,
                    bool direct) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | (direct ? O_DIRECT : 0));
  if (fd < 0) return {errno, {}};
  const std::size_t capacity = (size + 4095) / 4096 * 4096;
  std::unique_ptr<char, decltype(&std::free)> buffer(
      static_cast<char*>(std::aligned_alloc(4096, capacity)), &std::free);
  const ssize_t n = ::pread(fd, buffer.get(), size, static_cast<off_t>(offset));
  const int error = n < 0 ? errno : 0;
  ::close(fd);
  if (n < 0) return {error, {}};
  return {0, std::string(buffer.get(), static_cast<std::size_t>(n))};
}

}  // namespace faultfs_test
