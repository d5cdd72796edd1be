#pragma once
// A loop block device over an image file for tests: read-only, 2048-byte
// logical sectors (an optical drive's) and direct I/O on the backing file,
// so that O_DIRECT reads of the device must be 2048-aligned like a real
// drive's and each one reaches the backing file. Over an image served by
// FaultDisc, a bad range of the image becomes a bad sector of the device.
// Detached when the fixture goes, also when a test fails.

#include <filesystem>

namespace testsupport {

class LoopDevice {
 public:
  // Attaches `image` (a multiple of 2048 bytes); throws std::runtime_error
  // saying why when it cannot.
  explicit LoopDevice(const std::filesystem::path& image);
  ~LoopDevice();
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  const std::filesystem::path& device() const { return FDevice; }  // "/dev/loopN"
  // The device numbers, as a mount table names the device ("7:3").
  unsigned deviceMajor() const;
  unsigned deviceMinor() const;
  // Whether the loop driver reads the backing file with O_DIRECT.
  bool directIo() const;
  // losetup -d, then waits (at most 10 s) until the kernel has let the device
  // go, which it does at the last close of a device still open. Safe to call twice.
  void detach();

 private:
  std::filesystem::path FDevice;
};

// The backing file of a loop device, empty when it is not attached.
std::filesystem::path LoopBackingFile(const std::filesystem::path& device);

}  // namespace testsupport
