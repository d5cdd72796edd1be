// Sector I/O of the ISO 9660 reader: whole sectors straight from the device
// or image, the session the driver mounts, and the records of a directory.

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/IsoDisc_linux.h"

namespace platform::isodisc {

SectorSource::SectorSource(const std::filesystem::path& deviceOrImage)
    : FFd(::open(deviceOrImage.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC)) {
  if (!FFd.IsOpen() && errno == EINVAL) {
    FFd.Reset(::open(deviceOrImage.c_str(), O_RDONLY | O_CLOEXEC));
    if (FFd.IsOpen()) ::posix_fadvise(FFd.Get(), 0, 0, POSIX_FADV_RANDOM);
  }
}

std::optional<Bytes> SectorSource::Read(std::uint32_t lsn, std::uint32_t count) const {
  const auto size = static_cast<std::size_t>(count) * kBlock;
  if (size == 0) return Bytes();
  // O_DIRECT wants an aligned buffer; 4096 suits every logical block size.
  const std::unique_ptr<unsigned char, decltype(&std::free)> buffer(
      static_cast<unsigned char*>(std::aligned_alloc(4096, (size + 4095) / 4096 * 4096)),
      &std::free);
  if (!buffer) return std::nullopt;
  const auto offset = static_cast<off_t>(lsn) * kBlock;
  std::size_t done = 0;
  while (done < size) {
    const auto got =
        ::pread(FFd.Get(), buffer.get() + done, size - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return Bytes(buffer.get(), buffer.get() + size);
}

std::uint32_t LastSessionStart(const std::filesystem::path& deviceOrImage) {
  struct stat st {};
  if (::stat(deviceOrImage.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return 0;
  const FileDescriptor fd(::open(deviceOrImage.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.IsOpen()) return 0;
  cdrom_multisession info{};
  info.addr_format = CDROM_LBA;
  std::uint32_t start = 0;
  if (::ioctl(fd.Get(), CDROMMULTISESSION, &info) == 0 && info.xa_flag)
    start = static_cast<std::uint32_t>(info.addr.lba);
  return start;
}

std::optional<std::vector<Record>> ReadDirectory(const SectorSource& disc, std::uint32_t lsn,
                                                 std::uint32_t size, std::string& whyNot) {
  if (size == 0 || size > kMaxDirectoryBytes) {
    whyNot = "a directory on the disc has an implausible size (" + std::to_string(size) + ")";
    return std::nullopt;
  }
  const auto sectors = static_cast<std::uint32_t>((size + kBlock - 1) / kBlock);
  const auto bytes = disc.Read(lsn, sectors);
  if (!bytes) {
    whyNot = "cannot read the directory at sector " + std::to_string(lsn);
    return std::nullopt;
  }
  std::vector<Record> records;
  for (std::uint32_t s = 0; s < sectors; ++s) {
    const unsigned char* sector = bytes->data() + static_cast<std::size_t>(s) * kBlock;
    std::size_t pos = 0;
    while (pos < kBlock && sector[pos] != 0) {
      const unsigned char* rec = sector + pos;
      const std::size_t length = rec[record::kLength];
      const std::size_t nameLength = rec[record::kFileIdentifierLength];
      if (length < record::kMinLength || pos + length > kBlock ||
          record::kFileIdentifier + nameLength > length) {
        whyNot = "a malformed directory record at sector " + std::to_string(lsn + s);
        return std::nullopt;
      }
      Record r;
      r.identifier.assign(reinterpret_cast<const char*>(rec + record::kFileIdentifier), nameLength);
      const RootRecord extent = ExtentOf(rec);
      r.data = extent.data;
      r.size = extent.size;
      r.flags = rec[record::kFileFlags];
      r.interleaved = rec[record::kFileUnitSize] != 0 || rec[record::kInterleaveGap] != 0;
      std::size_t suspStart = record::kFileIdentifier + nameLength;
      if (suspStart & 1) ++suspStart;
      if (suspStart < length) r.systemUse.assign(rec + suspStart, rec + length);
      records.push_back(std::move(r));
      pos += length;
    }
  }
  return records;
}

}  // namespace platform::isodisc
