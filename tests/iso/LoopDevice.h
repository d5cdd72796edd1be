#pragma once
// A read-only loop device over an image file, with 2048-byte sectors and
// direct I/O, detached when the object goes (also when a test fails).

#include <filesystem>
#include <string>

namespace isotest {

class LoopDevice {
 public:
  // Attaches the image; on failure path() is empty and error() says why.
  explicit LoopDevice(const std::filesystem::path& image);
  ~LoopDevice();
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  const std::filesystem::path& path() const { return path_; }
  const std::string& error() const { return error_; }
  unsigned major() const { return major_; }
  unsigned minor() const { return minor_; }

 private:
  std::filesystem::path path_;
  std::string error_;
  unsigned major_ = 0, minor_ = 0;
};

}  // namespace isotest
