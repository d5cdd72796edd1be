#include "LoopDevice.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <iostream>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "RunProcess.h"
#include "TempDir.h"

namespace testsupport {

namespace {

constexpr std::uintmax_t SectorSize = 2048;

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \n") - first + 1);
}

}  // namespace

std::filesystem::path LoopBackingFile(const std::filesystem::path& device) {
  // The kernel keeps loop/ in sysfs only while a file is attached.
  const auto sysfs = "/sys/block" / device.filename() / "loop" / "backing_file";
  std::error_code ec;
  if (!std::filesystem::exists(sysfs, ec)) return {};
  return Trim(ReadFileBytes(sysfs));
}

namespace {

// losetup -d lets a device that is still open (udev probing the new device,
// another test listing block devices) go only at its last close; waiting for
// that keeps the promise that the device has gone with the fixture.
void WaitUntilLetGo(const std::filesystem::path& device, const std::filesystem::path& backingFile) {
  using namespace std::chrono_literals;
  for (auto waited = 0ms; waited < 10s; waited += 10ms) {
    const auto now = LoopBackingFile(device);
    if (now.empty() || now != backingFile) return;  // gone, or already another's
    std::this_thread::sleep_for(10ms);
  }
  std::cerr << device.string() << " still holds " << backingFile.string()
            << " 10 s after losetup -d\n";
}

}  // namespace

LoopDevice::LoopDevice(const std::filesystem::path& image) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(image, ec);
  if (ec) throw std::runtime_error("cannot attach " + image.string() + ": " + ec.message());
  if (size % SectorSize != 0)
    throw std::runtime_error("cannot attach " + image.string() + ": " + std::to_string(size) +
                             " bytes is not a multiple of 2048");
  if (!std::filesystem::exists("/dev/loop-control"))
    throw std::runtime_error("/dev/loop-control missing: cannot attach loop devices");
  const auto result = RunProcess({"losetup", "-r", "--sector-size", "2048", "--direct-io=on",
                                  "--find", "--show", image.string()});
  if (result.exitCode != 0)
    throw std::runtime_error("losetup cannot attach " + image.string() + ": " + result.err);
  FDevice = Trim(result.out);
  if (FDevice.empty())
    throw std::runtime_error("losetup named no device for " + image.string() + ": " + result.err);
}

LoopDevice::~LoopDevice() { detach(); }

bool LoopDevice::directIo() const {
  const auto result =
      RunProcess({"losetup", "--list", "--noheadings", "--output", "DIO", FDevice.string()});
  return result.exitCode == 0 && Trim(result.out) == "1";
}

void LoopDevice::detach() {
  if (FDevice.empty()) return;
  try {
    const auto backingFile = LoopBackingFile(FDevice);
    const auto result = RunProcess({"losetup", "-d", FDevice.string()});
    if (result.exitCode != 0)
      std::cerr << "losetup -d " << FDevice.string() << " failed: " << result.err;
    else
      WaitUntilLetGo(FDevice, backingFile);
  } catch (const std::exception& e) {
    std::cerr << "losetup -d " << FDevice.string() << " failed: " << e.what() << '\n';
  }
  FDevice.clear();
}

unsigned LoopDevice::deviceMajor() const {
  struct stat st {};
  return ::stat(FDevice.c_str(), &st) == 0 ? major(st.st_rdev) : 0;
}

unsigned LoopDevice::deviceMinor() const {
  struct stat st {};
  return ::stat(FDevice.c_str(), &st) == 0 ? minor(st.st_rdev) : 0;
}

}  // namespace testsupport
