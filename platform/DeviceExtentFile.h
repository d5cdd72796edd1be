#pragma once
// Reading a file of an ISO 9660 disc from the device itself, one sector at a
// time at the file's extents, for discs whose file system refuses O_DIRECT
// (the Linux iso9660 driver). A bad sector then fails alone and each retry
// reaches the drive, where the driver's buffered reads fail whole pages.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/FileDescriptor.h"
#include "platform/Iso9660Extents.h"
#include "platform/UnbufferedFile.h"

namespace platform {

// A file read through its extents on an open device or image.
class DeviceExtentFile final : public IUnbufferedFile {
 public:
  DeviceExtentFile(FileDescriptor fd, IsoFileExtents extents);

  std::int64_t Size() const override { return FExtents.size; }
  std::int64_t Position() const override { return FPosition; }
  bool Seek(std::int64_t position) override;
  std::int64_t Read(std::byte* buffer, std::size_t count) override;
  ReadPath Path() const override { return ReadPath::Device; }
  std::int64_t ReadRun(std::byte* buffer, std::size_t count) override;
  std::int64_t ContiguousFrom(std::int64_t position) const override;
  std::size_t MaxRunSize() const override { return RunSize; }
  ReadError LastError() const override { return FLastError; }
  std::optional<FileId> Id() const override;

 private:
  // The extent holding `position` and the file offset it starts at; nullptr
  // past the end.
  const DiscExtent* ExtentAt(std::int64_t position, std::int64_t& fileStart) const;
  // Reads the bytes of the file from `position` to the end of its sector,
  // at most `count`; -1 when the sector cannot be read whole enough.
  std::int64_t ReadWithinSector(std::int64_t position, std::byte* out, std::size_t count);

  FileDescriptor FFd;
  IsoFileExtents FExtents;
  std::int64_t FPosition = 0;
  AlignedSector FSector{};  // bounce buffer for reads that do not start on a sector
  ReadError FLastError = ReadError::Medium;
};

// Opens a file of a mounted iso9660 disc through the device it is mounted
// from. nullptr and a reason when the file is not on an iso9660 mount of a
// block device, the mount's options change names or sessions in ways not
// followed here, the file cannot be matched with certainty in the disc's
// directory (its size there must equal the mounted file's), or the device
// cannot be opened for reading. mountInfo stands for the kernel's mount table.
std::unique_ptr<IUnbufferedFile> OpenThroughDevice(
    const std::filesystem::path& mountedFile, std::string& whyNot,
    const std::filesystem::path& mountInfo = "/proc/self/mountinfo");

// Opens a file of an unmounted disc or of an image file, named on the disc as
// the driver would show it by default (Rock Ridge, else Joliet, else plain
// names lower-cased without ";1").
std::unique_ptr<IUnbufferedFile> OpenOnDevice(const std::filesystem::path& deviceOrImage,
                                              const std::string& pathOnDisc, std::string& whyNot);

}  // namespace platform
