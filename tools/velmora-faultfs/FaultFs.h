#pragma once
// The FUSE operations of velmora-faultfs: a read-only mirror of a source
// folder whose reads fail where the fault list says. Every open file is
// served with direct_io, so each read(2) reaches this process (no page
// cache) and O_DIRECT opens work; listings carry the entries' attributes,
// which the kernel keeps with the names (the source must not change while
// mounted). The operations run on one thread.

#include <fuse.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FaultList.h"
#include "platform/FileDescriptor.h"

namespace faultfs {

struct Options {
  std::filesystem::path source;            // absolute
  std::filesystem::path image;             // absolute; set: file bytes come from this ISO 9660
                                           // image, found by path, and source gives the listing
  std::filesystem::path statsFile;         // absolute; empty: no stats
  std::filesystem::path traceFile;         // absolute; empty: no trace
  std::chrono::microseconds readDelay{0};  // every read request: an optical drive's command time
  std::chrono::microseconds failDelay{0};  // a failed read request, in place of readDelay
};

class FaultFs {
 public:
  // Seconds the kernel may keep names and attributes.
  static constexpr double kCacheSeconds = 3600;

  FaultFs(Options options, FaultList faults);
  ~FaultFs();
  FaultFs(const FaultFs&) = delete;
  FaultFs& operator=(const FaultFs&) = delete;

  // The operations; fuse_main's user data must be this FaultFs.
  static const fuse_operations& Operations();

  // Rewrites the stats file atomically (a temporary file renamed over it),
  // so that readers always see a whole snapshot.
  void WriteStats() const;

 private:
  struct OpenFile;
  struct OpenFolder;
  static FaultFs& Self();
  std::string SourcePath(const char* path) const;
  void Trace(const OpenFile& file, off_t offset, std::size_t size, int result) const;

  static void* Init(fuse_conn_info* conn, fuse_config* config);
  static void Destroy(void* data);
  static int GetAttr(const char* path, struct stat* st, fuse_file_info* fi);
  static int ReadLink(const char* path, char* buffer, std::size_t size);
  static int OpenDir(const char* path, fuse_file_info* fi);
  static int ReadDir(const char* path, void* buffer, fuse_fill_dir_t filler, off_t offset,
                     fuse_file_info* fi, fuse_readdir_flags flags);
  static int ReleaseDir(const char* path, fuse_file_info* fi);
  bool ListedAttributes(const OpenFolder& folder, const char* name, struct stat& st) const;
  static int Open(const char* path, fuse_file_info* fi);
  int OpenInImage(const char* path, fuse_file_info* fi);
  static ssize_t ReadFile(const OpenFile& file, char* buffer, std::size_t size, off_t offset);
  static int Read(const char* path, char* buffer, std::size_t size, off_t offset,
                  fuse_file_info* fi);
  static int Release(const char* path, fuse_file_info* fi);
  static int StatFs(const char* path, struct statvfs* st);

  Options FOptions;
  std::string FSource;  // FOptions.source as text, no trailing '/'
  FaultList FFaults;
  std::uint64_t FReadRequests = 0;
  platform::FileDescriptor FTraceFd;
};

}  // namespace faultfs
