#include "SystemFixture.h"

#include <fstream>

namespace drivetest {

namespace fs = std::filesystem;

std::string MountLine(const std::string& numbers, const std::string& mountPoint,
                      const std::string& fsType, const std::string& source, const std::string& root,
                      const std::string& superOptions) {
  static int id = 100;
  std::string escaped;
  for (char c : mountPoint) escaped += c == ' ' ? std::string("\\040") : std::string(1, c);
  return std::to_string(++id) + " 1 " + numbers + " " + root + " " + escaped +
         " rw,relatime shared:1 - " + fsType + " " + source + " " + superOptions + "\n";
}

std::string IsoImageStart(const std::string& volumeId) {
  std::string image(17 * 2048, '\0');
  const std::size_t pvd = 16 * 2048;
  image.replace(pvd, 7, "\1CD001\1");
  std::string id = volumeId;
  id.resize(32, ' ');
  image.replace(pvd + 40, 32, id);
  return image;
}

SystemFixture::SystemFixture() {
  fs::create_directories(root() / "proc/self");
  fs::create_directories(root() / "sys/class/block");
  fs::create_directories(root() / "sys/dev/block");
  fs::create_directories(root() / "dev/disk/by-label");
  fs::create_directories(root() / "dev/disk/by-uuid");
  SetMountTable("");
}

void SystemFixture::SetMountTable(const std::string& text) {
  testsupport::WriteFileBytes(root() / "proc/self/mountinfo", text);
}

void SystemFixture::AddDevice(const DeviceSpec& device) {
  // Real sysfs puts partitions inside their disk's folder: .../block/sdb/sdb1.
  const fs::path relative = device.disk.empty()
                                ? fs::path("devices/pci0000:00/block") / device.name
                                : fs::path("devices/pci0000:00/block") / device.disk / device.name;
  const fs::path dir = root() / "sys" / relative;
  fs::create_directories(dir);
  testsupport::WriteFileBytes(dir / "dev", device.numbers + "\n");
  if (device.disk.empty())
    testsupport::WriteFileBytes(dir / "removable", device.removable ? "1\n" : "0\n");
  else
    testsupport::WriteFileBytes(dir / "partition", "1\n");
  fs::create_symlink(fs::path("../..") / relative, root() / "sys/class/block" / device.name);
  fs::create_symlink(fs::path("../..") / relative, root() / "sys/dev/block" / device.numbers);
}

void SystemFixture::RemoveDevice(const std::string& name) {
  const fs::path link = root() / "sys/class/block" / name;
  const fs::path dir = fs::canonical(link);
  const std::string numbers = testsupport::ReadFileBytes(dir / "dev");
  fs::remove(root() / "sys/dev/block" / numbers.substr(0, numbers.find('\n')));
  fs::remove(link);
  fs::remove_all(dir);
}

void SystemFixture::AddLabelLink(const std::string& escapedLabel, const std::string& device) {
  fs::create_symlink(fs::path("../..") / device, root() / "dev/disk/by-label" / escapedLabel);
}

void SystemFixture::AddUuidLink(const std::string& uuid, const std::string& device) {
  fs::create_symlink(fs::path("../..") / device, root() / "dev/disk/by-uuid" / uuid);
}

void SystemFixture::AddDeviceNode(const std::string& name, const std::string& bytes) {
  testsupport::WriteFileBytes(root() / "dev" / name, bytes);
}

std::unique_ptr<platform::IDriveTable> SystemFixture::MakeTable() {
  platform::DriveTableSources sources;
  sources.systemRoot = root();
  sources.fileSystemStats =
      [this](const fs::path& designator) -> std::optional<platform::FileSystemStats> {
    statvfsCalls.push_back(designator.native());
    if (deadFileSystems.count(designator.native())) return std::nullopt;
    return platform::FileSystemStats{255, 1, 1500000, 4700000000};
  };
  sources.deviceProperties = [this](const std::string& name) {
    const auto it = udev.find(name);
    return it == udev.end() ? std::map<std::string, std::string>() : it->second;
  };
  return platform::MakeDriveTable(std::move(sources));
}

}  // namespace drivetest
