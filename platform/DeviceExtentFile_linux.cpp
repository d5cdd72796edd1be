#include "platform/DeviceExtentFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/MountTable.h"
#include "platform/UnbufferedFileErrors_linux.h"

namespace platform {

namespace {

constexpr auto kSector = static_cast<std::int64_t>(SectorSize);

// O_DIRECT so that every read, retries included, reaches the drive. An image
// file on a file system without O_DIRECT is read plainly: its sectors are not
// a drive's, and the page cache cannot hide a fault there.
FileDescriptor OpenForSectors(const std::filesystem::path& deviceOrImage, std::string& whyNot) {
  FileDescriptor fd(::open(deviceOrImage.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
  if (!fd.IsOpen() && errno == EINVAL) {
    struct stat st {};
    if (::stat(deviceOrImage.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      fd.Reset(::open(deviceOrImage.c_str(), O_RDONLY | O_CLOEXEC));
  }
  if (!fd.IsOpen()) whyNot = "cannot open " + deviceOrImage.string() + ": " + std::strerror(errno);
  return fd;
}

std::unique_ptr<IUnbufferedFile> OpenExtents(const std::filesystem::path& deviceOrImage,
                                             IsoFileExtents extents, std::string& whyNot) {
  FileDescriptor fd = OpenForSectors(deviceOrImage, whyNot);
  if (!fd.IsOpen()) return nullptr;
  return std::make_unique<DeviceExtentFile>(std::move(fd), std::move(extents));
}

}  // namespace

DeviceExtentFile::DeviceExtentFile(FileDescriptor fd, IsoFileExtents extents)
    : FFd(std::move(fd)), FExtents(std::move(extents)) {}

bool DeviceExtentFile::Seek(std::int64_t position) {
  if (position < 0) return false;
  FPosition = position;
  return true;
}

std::int64_t DeviceExtentFile::Read(std::byte* buffer, std::size_t count) {
  count = std::min(count, SectorSize);
  std::size_t done = 0;
  std::int64_t pos = FPosition;
  // A read that starts on a sector is one pread of that sector; only a
  // position inside a sector needs a second one for the rest of the count.
  while (done < count && pos < FExtents.size) {
    const auto got = ReadWithinSector(pos, buffer + done, count - done);
    if (got < 0) return -1;
    done += static_cast<std::size_t>(got);
    pos += got;
  }
  FPosition = pos;
  return static_cast<std::int64_t>(done);
}

const DiscExtent* DeviceExtentFile::ExtentAt(std::int64_t position, std::int64_t& fileStart) const {
  fileStart = 0;
  for (const auto& e : FExtents.extents) {
    if (position < fileStart + e.length) return &e;
    fileStart += e.length;
  }
  return nullptr;
}

std::int64_t DeviceExtentFile::ContiguousFrom(std::int64_t position) const {
  std::int64_t fileStart = 0;
  const DiscExtent* extent = ExtentAt(position, fileStart);
  return extent ? extent->length - (position - fileStart) : 0;
}

std::optional<FileId> DeviceExtentFile::Id() const {
  struct stat st {};
  if (::fstat(FFd.Get(), &st) != 0) return std::nullopt;
  return FileIdOfStat(st);
}

// One request within the extent at the position; a run never crosses into
// the next extent, which may lie anywhere on the disc.
std::int64_t DeviceExtentFile::ReadRun(std::byte* buffer, std::size_t count) {
  std::int64_t fileStart = 0;
  const DiscExtent* extent = ExtentAt(FPosition, fileStart);
  if (!extent) return 0;
  const std::int64_t device = extent->offset + (FPosition - fileStart);
  if (device % kSector != 0) return Read(buffer, count);
  const std::int64_t wanted =
      std::min<std::int64_t>(static_cast<std::int64_t>(std::min(count, RunSize)),
                             extent->length - (FPosition - fileStart));
  const auto request = static_cast<std::size_t>((wanted + kSector - 1) / kSector * kSector);
  ssize_t got;
  do {
    got = ::pread(FFd.Get(), buffer, request, device);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    FLastError = ReadErrorOfErrno(errno);
    return -1;
  }
  const std::int64_t kept = got >= wanted ? wanted : got - got % kSector;
  if (kept <= 0) {
    FLastError = ReadError::Medium;
    return -1;
  }
  FPosition += kept;
  return kept;
}

std::int64_t DeviceExtentFile::ReadWithinSector(std::int64_t position, std::byte* out,
                                                std::size_t count) {
  std::int64_t fileStart = 0;
  const DiscExtent* extent = ExtentAt(position, fileStart);
  if (!extent) return -1;
  const std::int64_t device = extent->offset + (position - fileStart);
  const std::int64_t sectorStart = device - device % kSector;
  const auto within = static_cast<std::size_t>(device - sectorStart);
  const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(
      {static_cast<std::int64_t>(count), kSector - static_cast<std::int64_t>(within),
       extent->length - (position - fileStart)}));
  // The caller's buffer is aligned and a whole sector long; it takes the
  // sector directly when the read starts at its beginning.
  const bool direct = within == 0 && count == SectorSize;
  std::byte* target = direct ? out : FSector.bytes;
  ssize_t got;
  do {
    got = ::pread(FFd.Get(), target, SectorSize, sectorStart);
  } while (got < 0 && errno == EINTR);
  if (got < 0 || static_cast<std::size_t>(got) < within + wanted) {
    FLastError = got < 0 ? ReadErrorOfErrno(errno) : ReadError::Medium;
    return -1;
  }
  if (direct)
    std::memset(out + wanted, 0, SectorSize - wanted);  // only the file's bytes stay
  else
    std::memcpy(out, FSector.bytes + within, wanted);
  return static_cast<std::int64_t>(wanted);
}

std::unique_ptr<IUnbufferedFile> OpenThroughDevice(const std::filesystem::path& mountedFile,
                                                   std::string& whyNot,
                                                   const std::filesystem::path& mountInfo) {
  std::error_code ec;
  const auto file = std::filesystem::canonical(mountedFile, ec);
  if (ec) {
    whyNot = "cannot resolve " + mountedFile.string() + ": " + ec.message();
    return nullptr;
  }
  const auto mount = MountHolding(ReadMountTable(mountInfo), file);
  if (!mount) {
    whyNot = "no mount holds " + file.string();
    return nullptr;
  }
  if (mount->fsType != "iso9660") {
    whyNot = file.string() + " is on a " + mount->fsType + " mount, not iso9660";
    return nullptr;
  }
  struct stat device {};
  if (::stat(mount->source.c_str(), &device) != 0 || !S_ISBLK(device.st_mode) ||
      device.st_rdev != makedev(mount->major, mount->minor)) {
    whyNot = "the mount's source " + mount->source + " is not its block device " +
             std::to_string(mount->major) + ":" + std::to_string(mount->minor);
    return nullptr;
  }
  struct stat mounted {};
  if (::stat(file.c_str(), &mounted) != 0 || !S_ISREG(mounted.st_mode)) {
    whyNot = file.string() + " is not a regular file";
    return nullptr;
  }
  const auto pathOnDisc = std::filesystem::path(mount->root.empty() ? "/" : mount->root) /
                          file.lexically_relative(mount->mountPoint);
  auto extents = FindMountedIsoFile(mount->source, pathOnDisc, mount->superOptions, whyNot);
  if (!extents) return nullptr;
  if (extents->size != static_cast<std::int64_t>(mounted.st_size)) {
    whyNot = "the disc's directory gives " + std::to_string(extents->size) + " bytes for " +
             pathOnDisc.string() + ", the mounted file has " + std::to_string(mounted.st_size);
    return nullptr;
  }
  return OpenExtents(mount->source, std::move(*extents), whyNot);
}

std::unique_ptr<IUnbufferedFile> OpenOnDevice(const std::filesystem::path& deviceOrImage,
                                              const std::string& pathOnDisc, std::string& whyNot) {
  auto extents = FindIsoFileExtents(deviceOrImage, pathOnDisc, IsoNaming{}, whyNot);
  if (!extents) return nullptr;
  return OpenExtents(deviceOrImage, std::move(*extents), whyNot);
}

}  // namespace platform
