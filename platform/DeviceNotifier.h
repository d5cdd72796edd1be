#pragma once
// Tells when drives may have come or gone: the kernel's mount table changed,
// or the device manager reported a block device added, removed or changed (a
// disc inserted or ejected). The wizard refreshes its drive table then.
//
// A GUI watches FileDescriptor() for reading (QSocketNotifier::Read) and calls
// ReadEvents() when it fires; a command-line program calls WaitForChange().

#include <chrono>
#include <filesystem>
#include <memory>

namespace platform {

class DeviceNotifier {
 public:
  // Watches the given mount table (the process's own by default) and, when
  // the device manager runs, its block-device events. Without udev the mount
  // table alone is watched. Throws std::system_error when the mount table
  // cannot be watched.
  explicit DeviceNotifier(std::filesystem::path mountInfo = "/proc/self/mountinfo");
  ~DeviceNotifier();
  DeviceNotifier(const DeviceNotifier&) = delete;
  DeviceNotifier& operator=(const DeviceNotifier&) = delete;

  // Readable whenever a change may have happened; owned by the notifier.
  int FileDescriptor() const;
  // Drains pending events without waiting; true when the mount table differs
  // from the last time it was looked at, or a block device event arrived.
  bool ReadEvents();
  // Waits up to timeout for a change; true when one came.
  bool WaitForChange(std::chrono::milliseconds timeout);
  // Whether block-device events of the device manager are watched too.
  bool WatchesDeviceManager() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> FImpl;
};

}  // namespace platform
