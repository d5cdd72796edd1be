#pragma once
// The parts of the ISO 9660 directory reader (Iso9660Extents_linux.cpp):
// sector I/O and directory records (IsoSectors_linux.cpp), the choice of
// volume descriptor and tree (IsoDescriptors_linux.cpp), Rock Ridge fields
// (IsoRockRidge_linux.cpp) and the names the driver shows (IsoNames_linux.cpp).
// For the reader's own use; the interface is Iso9660Extents.h.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/Iso9660Extents.h"

namespace platform::isodisc {

inline constexpr std::int64_t kBlock = 2048;
inline constexpr unsigned kFlagHidden = 0x01;
inline constexpr unsigned kFlagDirectory = 0x02;
inline constexpr unsigned kFlagAssociated = 0x04;
inline constexpr unsigned kFlagMultiExtent = 0x80;
// Directories beyond this are taken for garbage rather than read.
inline constexpr std::uint32_t kMaxDirectoryBytes = 64u << 20;

// A volume descriptor: one sector, its fields at these byte offsets
// (ECMA-119 8.1, 8.4 and, for Joliet's supplementary one, 8.5).
namespace descriptor {
inline constexpr std::uint32_t kFirstSector = 16;  // of a session: the System Area comes before
inline constexpr std::uint32_t kScanEnd = 100;     // the driver looks no further into a session
inline constexpr std::size_t kType = 0;
inline constexpr std::size_t kStandardIdentifier = 1;     // "CD001"
inline constexpr std::size_t kHighSierraIdentifier = 9;   // "CDROM" on a High Sierra disc
inline constexpr std::size_t kEscapeSequences = 88;       // Joliet: "%/@", "%/C" or "%/E"
inline constexpr std::size_t kLogicalBlockSize = 128;     // both-endian 16 bits, little first
inline constexpr std::size_t kRootDirectoryRecord = 156;  // a directory record of 34 bytes
inline constexpr unsigned char kTypePrimary = 1;
inline constexpr unsigned char kTypeSupplementary = 2;
inline constexpr unsigned char kTypeSetTerminator = 255;
}  // namespace descriptor

// A directory record's fields at these byte offsets (ECMA-119 9.1); the
// 32-bit and 16-bit numbers are both-endian, the little-endian half first.
namespace record {
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kExtendedAttributeLength = 1;  // sectors before the data
inline constexpr std::size_t kExtentLocation = 2;
inline constexpr std::size_t kDataLength = 10;
inline constexpr std::size_t kFileFlags = 25;
inline constexpr std::size_t kFileUnitSize = 26;
inline constexpr std::size_t kInterleaveGap = 27;
inline constexpr std::size_t kFileIdentifierLength = 32;
inline constexpr std::size_t kFileIdentifier = 33;
inline constexpr std::size_t kMinLength = 34;  // with a one-byte identifier
}  // namespace record

using Bytes = std::vector<unsigned char>;

inline std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline unsigned Le16(const unsigned char* p) { return p[0] | static_cast<unsigned>(p[1]) << 8; }

// Whole sectors of a device or image, read with O_DIRECT so that only the
// sectors asked for are read. An image on a file system without O_DIRECT is
// read plainly, without readahead.
class SectorSource {
 public:
  explicit SectorSource(const std::filesystem::path& deviceOrImage);
  bool IsOpen() const { return FFd.IsOpen(); }
  // count sectors from lsn on; nullopt when any of them cannot be read.
  std::optional<Bytes> Read(std::uint32_t lsn, std::uint32_t count) const;

 private:
  FileDescriptor FFd;
};

// The first sector of the session the driver mounts: the last session of a
// multi-session CD, as CDROMMULTISESSION tells; 0 for images and other devices.
std::uint32_t LastSessionStart(const std::filesystem::path& deviceOrImage);

// One directory record, as far as finding a file needs it.
struct Record {
  std::string identifier;  // as recorded ("\0" and "\1" are "." and "..")
  std::uint32_t data = 0;  // first sector of the data (extended attributes skipped)
  std::uint32_t size = 0;  // bytes in this section
  unsigned flags = 0;
  bool interleaved = false;  // file unit size or interleave gap set
  Bytes systemUse;           // the System Use area (Rock Ridge fields)
};

inline bool IsDotOrDotDot(const Record& r) {
  return r.identifier.size() == 1 && (r.identifier[0] == '\0' || r.identifier[0] == '\1');
}

// The records of a directory in recorded order; records never cross sectors.
std::optional<std::vector<Record>> ReadDirectory(const SectorSource& disc, std::uint32_t lsn,
                                                 std::uint32_t size, std::string& whyNot);

// What the Rock Ridge fields of one record tell, read as rock.c reads them.
struct RockFields {
  bool extensionsRecord = false;           // ER: the disc declares Rock Ridge
  std::optional<unsigned> spSkip;          // SP: bytes to skip in every later record
  std::string name;                        // NM pieces joined; empty when none
  bool nameTooLong = false;                // the driver truncates at 254 bytes
  bool relocated = false;                  // RE: a moved directory the driver hides
  std::optional<std::uint32_t> childLink;  // CL: where a moved directory now is
  bool unreadable = false;                 // malformed fields or an unreadable continuation area
};

RockFields ParseRock(const SectorSource& disc, const Bytes& systemUse, std::size_t skip);

// The tree the driver shows and how it names its entries.
struct Tree {
  std::uint32_t rootData = 0;
  std::uint32_t rootSize = 0;
  bool rock = false;    // Rock Ridge names where a record has them
  bool joliet = false;  // Joliet names (UCS-2)
  unsigned rockSkip = 0;
  bool caseInsensitive = false;
};

// Where a directory's records are: first sector and bytes.
struct RootRecord {
  std::uint32_t data = 0, size = 0;
};

// The extent a directory record points at, past its extended attributes.
RootRecord ExtentOf(const unsigned char* aRecord);

// The extent of the root directory that a volume descriptor records.
RootRecord RootOf(const unsigned char* aDescriptor);

// The tree the driver shows for the session starting at sessionStart.
std::optional<Tree> ChooseTree(const SectorSource& disc, std::uint32_t sessionStart,
                               const IsoNaming& naming, std::string& whyNot);

// A name as the driver shows it; nullopt when hidden by the driver.
struct Shown {
  std::optional<std::string> name;  // nullopt: hidden
  bool untranslatable = false;
  std::optional<std::uint32_t> childLink;
};

Shown NameOf(const SectorSource& disc, const Tree& tree, const IsoNaming& naming, const Record& r);

// Case folding as the driver's case-insensitive lookup does it: the kernel's
// tolower() works on bytes with a Latin-1 table, also inside UTF-8 sequences.
std::string FoldLikeKernel(std::string s);

}  // namespace platform::isodisc
