// The mount table wakes pollers with POLLPRI|POLLERR when it changes; udev
// sends block events over netlink. Both are gathered into one epoll
// descriptor so that a GUI needs a single socket notifier.
//
// Whoever polls the mount table first consumes its change flag (a GUI's event
// loop polling our epoll descriptor does), so ReadEvents() does not trust the
// flag: it compares the table's text with the text it saw last.

#include "platform/DeviceNotifier.h"
#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <libudev.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace platform {

namespace {

std::string ReadAll(int fd) {
  std::string text;
  char buffer[8192];
  if (::lseek(fd, 0, SEEK_SET) < 0) return text;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  return text;
}

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

struct DeviceNotifier::Impl {
  platform::FileDescriptor epollFd;
  platform::FileDescriptor mountFd;
  std::string mountText;  // the mount table as last seen
  udev* udevContext = nullptr;
  udev_monitor* monitor = nullptr;

  ~Impl() {
    if (monitor) udev_monitor_unref(monitor);
    if (udevContext) udev_unref(udevContext);
  }

  void Watch(int fd, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    if (::epoll_ctl(epollFd.Get(), EPOLL_CTL_ADD, fd, &event) != 0) ThrowErrno("epoll_ctl");
  }

  // Block events of udev; the notifier carries on without them when udev or
  // netlink is not there.
  void WatchDeviceManager() {
    udevContext = udev_new();
    if (!udevContext) return;
    monitor = udev_monitor_new_from_netlink(udevContext, "udev");
    if (monitor &&
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "block", nullptr) >= 0 &&
        udev_monitor_enable_receiving(monitor) >= 0) {
      const int fd = udev_monitor_get_fd(monitor);
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0) {
        Watch(fd, EPOLLIN);
        return;
      }
    }
    if (monitor) udev_monitor_unref(monitor);
    monitor = nullptr;
  }

  bool DrainDeviceManager() {
    bool any = false;
    while (monitor) {
      udev_device* device = udev_monitor_receive_device(monitor);
      if (!device) break;
      udev_device_unref(device);
      any = true;
    }
    return any;
  }

  bool MountTableChanged() {
    std::string text = ReadAll(mountFd.Get());
    if (text == mountText) return false;
    mountText = std::move(text);
    return true;
  }
};

DeviceNotifier::DeviceNotifier(std::filesystem::path mountInfo) : FImpl(std::make_unique<Impl>()) {
  FImpl->epollFd.Reset(::epoll_create1(EPOLL_CLOEXEC));
  if (!FImpl->epollFd.IsOpen()) ThrowErrno("epoll_create1");
  FImpl->mountFd.Reset(::open(mountInfo.c_str(), O_RDONLY | O_CLOEXEC));
  if (!FImpl->mountFd.IsOpen()) ThrowErrno("open mount table");
  FImpl->mountText = ReadAll(FImpl->mountFd.Get());
  FImpl->Watch(FImpl->mountFd.Get(), EPOLLPRI | EPOLLERR);
  FImpl->WatchDeviceManager();
}

DeviceNotifier::~DeviceNotifier() = default;

int DeviceNotifier::FileDescriptor() const { return FImpl->epollFd.Get(); }

bool DeviceNotifier::WatchesDeviceManager() const { return FImpl->monitor != nullptr; }

bool DeviceNotifier::ReadEvents() {
  // Consumes the readiness of the descriptors; what changed is decided below.
  epoll_event events[4];
  ::epoll_wait(FImpl->epollFd.Get(), events, 4, 0);
  const bool devices = FImpl->DrainDeviceManager();
  const bool mounts = FImpl->MountTableChanged();
  return devices || mounts;
}

bool DeviceNotifier::WaitForChange(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (ReadEvents()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    epoll_event event{};
    const int n = ::epoll_wait(FImpl->epollFd.Get(), &event, 1, static_cast<int>(left.count()));
    if (n < 0 && errno != EINTR) return false;
  }
}

}  // namespace platform
