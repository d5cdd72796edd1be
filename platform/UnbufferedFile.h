#pragma once
// Reading a source file sector by sector from the drive itself, past the
// system's file cache, so that one bad 2048-byte sector fails alone and every
// retry reaches the drive.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
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

// Why the last read of a file failed. Only a medium error is worth another
// attempt: when the disc or its drive is gone, every further attempt fails
// as well (on a real drive each may cost a time-out), and a file that has
// shrunk no longer holds the bytes the copy was sized for.
enum class ReadError {
  Medium,  // this stretch could not be read (EIO and anything not listed below)
  Gone,    // the medium, the device or the file system went away
  Shrunk,  // the file ends before the size it had when it was opened
};

// A short, user-facing description of a read error.
const char* ReadErrorText(ReadError error);

// Which file (or device, or disc image) a path names, links followed: the
// same identity through any path, hard link or symbolic link.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

// The identity of the file at `path`; nothing when it does not exist.
std::optional<FileId> FileIdOf(const std::filesystem::path& path);

// The most one read request covers: 32 sectors.
inline constexpr std::size_t RunSize = 32 * SectorSize;

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

  // One read request of up to `count` bytes (at most RunSize) at Position(),
  // which is on a sector boundary, into a SectorSize-aligned buffer of
  // RunSize bytes. Returns the bytes read and moves the position on; fewer
  // than asked before the end of the file are whole sectors, the ones before
  // the first that could not be read. -1 when not even the first sector could
  // be read. By default one sector per request (see MaxRunSize).
  virtual std::int64_t ReadRun(std::byte* buffer, std::size_t count) {
    return Read(buffer, count < SectorSize ? count : SectorSize);
  }
  // The most ReadRun reads in one request: SectorSize unless the file reads
  // runs, RunSize then.
  virtual std::size_t MaxRunSize() const { return SectorSize; }
  // How many bytes from `position` on one request can cover: the rest of the
  // extent for a file read at its extents on a device; unlimited otherwise.
  virtual std::int64_t ContiguousFrom(std::int64_t position) const {
    (void)position;
    return INT64_MAX;
  }
  // Why the last failed Read or ReadRun failed.
  virtual ReadError LastError() const { return ReadError::Medium; }
  // The file, device or image the bytes are read from, when the system has
  // one: a target with the same identity would overwrite the source.
  virtual std::optional<FileId> Id() const { return std::nullopt; }
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

// A buffer for one run request; large, so allocate it (std::make_unique).
struct AlignedRun {
  alignas(4096) std::byte bytes[RunSize];
};

}  // namespace platform
