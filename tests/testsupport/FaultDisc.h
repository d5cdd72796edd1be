#pragma once
// A damaged disc for tests: velmora-faultfs (from BinDir()) serving a source
// folder read-only at a fresh mount point, failing the reads its fault list
// names, and counting the attempts on each bad range. The mount and the file
// system's process live exactly as long as the fixture, also when a test
// fails or throws. Test programs that use it depend on the velmora-faultfs
// target (add_dependencies(<test> velmora-faultfs)).

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"

namespace testsupport {

// Set field by field (options.trace = true;): GCC warns about designated
// initializers that leave fields out.
struct FaultDiscOptions {
  std::chrono::microseconds readDelay{0};  // every read request
  std::chrono::microseconds failDelay{0};  // a failed read request, instead
  std::string subtype = "iso9660";         // the mount shows as fuse.<subtype>; empty: "fuse"
  std::string fsname = "velmora-faultfs";  // the mount's source column
  bool trace = false;                      // log every read request (see trace())
  std::vector<std::string> extraArgs;      // more velmora-faultfs or FUSE arguments
};

// What velmora-faultfs counted for one bad range.
struct RangeAttempts {
  std::uint64_t attempts = 0;  // read requests that touched the range
  std::uint64_t failures = 0;  // of those, the ones that failed because of it
};

// One read request as the file system saw it (FaultDiscOptions::trace).
struct ReadRequest {
  std::string path;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::int64_t result = 0;  // bytes returned, or -EIO
};

class FaultDisc {
 public:
  // Mounts `source` with the fault list `faults`, one fault a line (see
  // `velmora-faultfs --help`):
  //   bad PATH START END [TIMES]     unreadable PATH [EIO|EACCES]
  // PATH as seen in the mount ("/dir/file"); START and END are byte offsets,
  // END exclusive, "3s" = sector 3 = byte 6144. Throws std::runtime_error
  // saying why when it cannot mount ("/dev/fuse missing", or the file
  // system's own error output).
  explicit FaultDisc(const std::filesystem::path& source, const std::string& faults = {},
                     const FaultDiscOptions& options = {});
  ~FaultDisc();
  FaultDisc(const FaultDisc&) = delete;
  FaultDisc& operator=(const FaultDisc&) = delete;

  const std::filesystem::path& mountPoint() const { return FMountPoint; }
  std::filesystem::path operator/(const std::filesystem::path& name) const {
    return FMountPoint / name;
  }
  pid_t pid() const { return FPid; }

  // The counts of the bad range listed as "bad PATH START END"; throws when
  // no such range is listed. Current as soon as a read has returned.
  RangeAttempts attempts(const std::string& path, std::uint64_t start, std::uint64_t end) const;
  // The read requests seen so far; empty unless FaultDiscOptions::trace.
  std::vector<ReadRequest> requests() const;

  // Unmounts (fusermount3 -u, else umount -l) and reaps the process; what
  // the destructor does. Safe to call twice.
  void unmount();

 private:
  void start(const std::filesystem::path& source, const std::string& faults,
             const FaultDiscOptions& options);
  void waitUntilMounted();
  std::string errorOutput() const;

  TempDir FWork;  // the fault list, stats, log and the mount point
  std::filesystem::path FMountPoint;
  pid_t FPid = -1;
};

// Whether `mountPoint` appears in /proc/self/mountinfo, and its file-system
// type there ("fuse.iso9660"); empty when not mounted.
std::string MountedFsType(const std::filesystem::path& mountPoint);

}  // namespace testsupport
