#pragma once
// Where a file's bytes lie on an ISO 9660 disc, found in the disc's own
// directory, under the names the Linux iso9660 driver shows for its entries.
// Used by DeviceExtentFile to read a mounted disc's files from the device.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A run of a file's bytes on the device. offset is a multiple of SectorSize.
struct DiscExtent {
  std::int64_t offset = 0;  // bytes from the start of the device (sector number x 2048)
  std::int64_t length = 0;  // bytes of the file held here
};

struct IsoFileExtents {
  std::int64_t size = 0;            // == the sum of the extents' lengths
  std::vector<DiscExtent> extents;  // in the order of the file's bytes
};

// The naming rules of one iso9660 mount, from its options.
struct IsoNaming {
  bool rockRidge = true;        // off with "norock"
  bool joliet = true;           // off with "nojoliet"
  bool mapNormal = true;        // "map=off" shows plain names as recorded
  bool hideHidden = false;      // "hide"
  bool showAssociated = false;  // "showassoc"
  char check = 'u';             // "check=r"/"check=s"; 'u' = the driver's default
  bool iocharsetUtf8 = true;    // Joliet names shown as UTF-8 (the default table)
};

// The naming of an iso9660 mount's options; nullopt and a reason for options
// under which names or sectors are not the ones this reader finds (session=,
// sbsector=, map=acorn, cruft). An iocharset other than utf8 is refused later,
// and only where Joliet names are in effect.
std::optional<IsoNaming> IsoNamingFromMountOptions(std::string_view options, std::string& whyNot);

// Finds pathOnDisc ("/Docs/Report.txt", named as the driver shows it under
// `naming`) in the directory of the disc on a device or in an image file.
// nullopt and a reason when the file cannot be found with certainty: it is
// missing, two entries match it, a name on the way cannot be translated, it
// is recorded interleaved, or the directory cannot be read.
std::optional<IsoFileExtents> FindIsoFileExtents(const std::filesystem::path& deviceOrImage,
                                                 const std::filesystem::path& pathOnDisc,
                                                 const IsoNaming& naming, std::string& whyNot);

// Finds a file of a mounted disc from the mount's options as the mount table
// prints them. The table prints the naming in effect, not the one asked for:
// "nojoliet" whenever Rock Ridge names are used, and "norock" alone both for
// Joliet names and for plain names under "norock,nojoliet". In that last case
// both namings are tried; the file is taken only when one of them does not
// know the name at all or both lead to the same sectors.
std::optional<IsoFileExtents> FindMountedIsoFile(const std::filesystem::path& device,
                                                 const std::filesystem::path& pathOnDisc,
                                                 std::string_view mountOptions,
                                                 std::string& whyNot);

// The driver's name for a plain ISO 9660 file identifier: with map=normal
// upper case is folded to lower, a trailing ";1" or ".;1" dropped and other
// ';' shown as '.'; with map=off the identifier as recorded.
std::string PlainIsoName(std::string_view identifier, bool mapNormal);

// The driver's name for a Joliet identifier (UCS-2 big-endian) as UTF-8, with
// a trailing ";1" and trailing dots dropped; nullopt for an odd length, a NUL
// or any surrogate (the driver's default table and its utf8 option show
// characters outside the basic plane differently).
std::optional<std::string> JolietName(std::string_view identifier);

}  // namespace platform
