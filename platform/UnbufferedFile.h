#pragma once
// Reading a source file sector by sector from the drive itself, past the
// system's file cache, so that one bad 2048-byte sector fails alone and every
// retry reaches the drive.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace platform {

// One optical-disc sector; also the alignment of read buffers.
inline constexpr std::size_t SectorSize = 2048;

// Where the bytes of an opened file come from, best first.
enum class ReadPath {
  Direct,  // O_DIRECT on the file itself (udf, ext4, xfs, FUSE with direct_io)
  Device,  // O_DIRECT on the block device, at the file's extents on an iso9660 disc
  Cache,   // through the page cache, pages dropped after every read
};

// A short, user-facing description of a read path, for "--events" output.
const char* ReadPathText(ReadPath path);

// An opened source file. Positions and sizes are 64-bit byte offsets.
class IUnbufferedFile {
 public:
  virtual ~IUnbufferedFile() = default;
  virtual std::int64_t Size() const = 0;
  virtual std::int64_t Position() const = 0;
  // Moves to an absolute offset; positions past the end are allowed.
  virtual bool Seek(std::int64_t position) = 0;
  // One read attempt of up to `count` (at most SectorSize) bytes at Position()
  // into `buffer`, which is SectorSize-aligned and SectorSize long. Returns the
  // bytes read (fewer only at the end of the file, 0 at or past it) and moves
  // the position on; returns -1 on failure and leaves the position. A read that
  // returns fewer bytes than asked before the end of the file is a failure: the
  // kernel shrinks a disc's size after a medium error near its end.
  virtual std::int64_t Read(std::byte* buffer, std::size_t count) = 0;
  virtual ReadPath Path() const = 0;
};

// Opens files for unbuffered reading. Tests put a fault-injecting opener in
// place of the system's.
class IUnbufferedOpener {
 public:
  virtual ~IUnbufferedOpener() = default;
  // nullptr when the file cannot be opened; `error` then says why.
  virtual std::unique_ptr<IUnbufferedFile> Open(const std::filesystem::path& path,
                                                std::string& error) = 0;
};

// The system's opener: tries the read paths in the order of ReadPath. A
// block device (a whole disc, or a loop device over an image) opens like a
// file of the device's size.
IUnbufferedOpener& SystemUnbufferedOpener();

// The same chain with another mount table in place of the kernel's
// (/proc/self/mountinfo), which decides what the device path sees as a
// disc's mount; tests name their own stand-in mounts in one.
std::unique_ptr<IUnbufferedOpener> MakeSystemUnbufferedOpener(
    const std::filesystem::path& mountInfo);

// A SectorSize-aligned buffer of SectorSize bytes, as O_DIRECT demands.
struct AlignedSector {
  alignas(4096) std::byte bytes[SectorSize];
};

}  // namespace platform
