#pragma once
// A damaged ISO 9660 disc for the copy tests. The tree (WriteTree) holds
//   ReadMe.txt                 5000 bytes
//   Docs/Note.txt              3000 bytes
//   Movies/Holiday 2009.mpg    300 sectors + 1000 bytes, one extent; its sector
//                              150 is bad, so are 200 and 201 (a run of two),
//                              and sector 250 fails its first two reads
// and MakeImage makes it into an image with `genisoimage -quiet -R -J`. The
// same bad sectors are listed for velmora-faultfs either in the image (at the
// movie's extent) or in the movie itself, so that one disc is read through a
// loop device, as an image file, or as a file of the fault file system.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "FaultDisc.h"
#include "TempDir.h"

namespace isocopy {

inline constexpr const char* kMovie = "Movies/Holiday 2009.mpg";
inline constexpr std::int64_t kSector = 2048;

struct BadSector {
  std::int64_t sector;  // of the movie
  int failures;         // read requests that fail before one succeeds; 0: every one fails
};
const std::vector<BadSector>& MovieBadSectors();

// The original bytes of a file of the tree.
std::string TreeFile(const std::string& relativePath);
void WriteTree(const std::filesystem::path& root);
// genisoimage -R -J; throws std::runtime_error saying why it cannot.
void MakeImage(const std::filesystem::path& tree, const std::filesystem::path& image);
// Where the movie starts in the image (its one extent); throws when it is not one extent.
std::int64_t MovieOffsetInImage(const std::filesystem::path& image);

// The fault list for the movie's bad sectors in file `path` of the mount,
// whose byte `base` is the movie's first byte.
std::string MovieFaults(const std::string& path, std::int64_t base);
// The movie as the copier must save it: zeros in the sectors that never read.
std::string SavedMovie();
// Failed read attempts the copier must make, by the movie's byte offset.
std::map<std::int64_t, int> ExpectedFailedAttempts();

// How the copier reads: sector by sector, or in runs of up to 32 sectors.
enum class ReadShape { Sectors, Runs };

// Checks what velmora-faultfs saw of the movie at `base` in file `path`:
// every bad sector asked for exactly as often as the copier tried it. Read
// by Sectors: every request that touched a bad sector (the failed ones among
// them) was exactly that one 2048-byte sector, so no good neighbour was
// failed with it; and the movie's sectors were asked for one by one, each
// once, a bad one once per attempt (nothing merged or read ahead). Read in
// Runs: every request is whole sectors of the movie, at most 64 KiB; a
// failed one touched a bad sector; no good sector was read more than twice;
// and the undamaged start of the movie came in full 64 KiB requests.
// Returns the number of requests seen.
std::size_t ExpectOnlyBadSectorsFailed(const testsupport::FaultDisc& disc, const std::string& path,
                                       std::int64_t base, ReadShape shape = ReadShape::Sectors);

// A folder on a ramfs mount, which refuses O_DIRECT (EINVAL) as the kernel's
// iso9660 driver does. Unmounted when the fixture goes; throws saying why
// when it cannot mount.
class RamFolder {
 public:
  RamFolder();
  ~RamFolder();
  RamFolder(const RamFolder&) = delete;
  RamFolder& operator=(const RamFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  testsupport::TempDir dir_;
  std::filesystem::path path_;
};

// A mount table in which `folder` is the iso9660 mount of `device` with
// Rock Ridge names, as the kernel would print it; the rest of the table is a
// root file system.
std::filesystem::path WriteMountTable(const std::filesystem::path& at,
                                      const std::filesystem::path& folder,
                                      const std::filesystem::path& device);

}  // namespace isocopy
