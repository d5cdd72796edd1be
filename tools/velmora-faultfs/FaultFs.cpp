#include "FaultFs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <vector>

#include "platform/Iso9660Extents.h"

namespace faultfs {

struct FaultFs::OpenFolder {
  DIR* dir = nullptr;
  std::string path;  // in the mount; readdir is not given it (nullpath_ok)
  ~OpenFolder() {
    if (dir) ::closedir(dir);
  }
};

struct FaultFs::OpenFile {
  platform::FileDescriptor fd;
  std::uint64_t size = 0;  // the source never changes while mounted
  std::string path;
  std::vector<BadRange*> ranges;              // into FFaults.bad
  std::vector<platform::DiscExtent> extents;  // in the image; empty: fd is the file itself
};

namespace {

template <typename T>
T* FromHandle(const fuse_file_info* fi) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(fi->fh));
}

template <typename T>
std::uint64_t ToHandle(T* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

void Sleep(std::chrono::microseconds delay) {
  if (delay.count() <= 0) return;
  timespec ts{static_cast<time_t>(delay.count() / 1000000),
              static_cast<long>(delay.count() % 1000000) * 1000};
  while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
  }
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

FaultFs::FaultFs(Options options, FaultList faults)
    : FOptions(std::move(options)), FSource(FOptions.source.string()), FFaults(std::move(faults)) {
  while (FSource.size() > 1 && FSource.back() == '/') FSource.pop_back();
  if (!FOptions.traceFile.empty()) {
    FTraceFd.Reset(::open(FOptions.traceFile.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
    if (!FTraceFd.IsOpen())
      throw std::runtime_error("cannot create " + FOptions.traceFile.string());
  }
  WriteStats();
}

FaultFs::~FaultFs() = default;

FaultFs& FaultFs::Self() { return *static_cast<FaultFs*>(fuse_get_context()->private_data); }

std::string FaultFs::SourcePath(const char* path) const {
  return std::string_view(path) == "/" ? FSource : FSource + path;
}

void FaultFs::WriteStats() const {
  if (FOptions.statsFile.empty()) return;
  const std::string temporary = FOptions.statsFile.string() + ".tmp";
  bool written = false;
  {
    const platform::FileDescriptor fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.IsOpen()) return;
    written = WriteAll(fd.Get(), FormatStats(FFaults, FReadRequests));
  }  // closed before the rename
  if (written) ::rename(temporary.c_str(), FOptions.statsFile.c_str());
}

void FaultFs::Trace(const OpenFile& file, off_t offset, std::size_t size, int result) const {
  if (!FTraceFd.IsOpen()) return;
  WriteAll(FTraceFd.Get(), QuotePath(file.path) + ' ' + std::to_string(offset) + ' ' +
                               std::to_string(size) + ' ' +
                               (result < 0 ? std::string("EIO") : std::to_string(result)) + '\n');
}

const fuse_operations& FaultFs::Operations() {
  static const fuse_operations operations = [] {
    fuse_operations ops{};
    ops.init = &FaultFs::Init;
    ops.destroy = &FaultFs::Destroy;
    ops.getattr = &FaultFs::GetAttr;
    ops.readlink = &FaultFs::ReadLink;
    ops.opendir = &FaultFs::OpenDir;
    ops.readdir = &FaultFs::ReadDir;
    ops.releasedir = &FaultFs::ReleaseDir;
    ops.open = &FaultFs::Open;
    ops.read = &FaultFs::Read;
    ops.release = &FaultFs::Release;
    ops.statfs = &FaultFs::StatFs;
    return ops;
  }();
  return operations;
}

void* FaultFs::Init(fuse_conn_info* conn, fuse_config* config) {
  config->use_ino = 1;      // the source's inode numbers, so hard links stay recognisable
  config->nullpath_ok = 1;  // reads need only the handle: saves a path lookup per request
  config->direct_io = 1;
  config->kernel_cache = 0;
  // A disc does not change while mounted, so the kernel may keep names and
  // attributes: a walk that stats every listed entry (as a scan does) is
  // then answered from the listing's attributes, not by a request per entry,
  // as a real disc's file system answers it. Reads still come here every time.
  config->entry_timeout = kCacheSeconds;
  config->attr_timeout = kCacheSeconds;
  config->negative_timeout = kCacheSeconds;
  // Every listing with attributes, not only the first part of each folder.
  if (conn->capable & FUSE_CAP_READDIRPLUS) conn->want |= FUSE_CAP_READDIRPLUS;
  conn->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
  return fuse_get_context()->private_data;
}

void FaultFs::Destroy(void* data) { static_cast<FaultFs*>(data)->WriteStats(); }

int FaultFs::GetAttr(const char* path, struct stat* st, fuse_file_info* fi) {
  FaultFs& self = Self();
  if (fi) {
    if (auto* file = FromHandle<OpenFile>(fi); ::fstat(file->fd.Get(), st) == 0) return 0;
    return -errno;
  }
  if (const int error = self.FFaults.LookupErrorFor(path)) return -error;
  return ::lstat(self.SourcePath(path).c_str(), st) == 0 ? 0 : -errno;
}

int FaultFs::ReadLink(const char* path, char* buffer, std::size_t size) {
  FaultFs& self = Self();
  if (const int error = self.FFaults.LookupErrorFor(path)) return -error;
  const ssize_t n = ::readlink(self.SourcePath(path).c_str(), buffer, size - 1);
  if (n < 0) return -errno;
  buffer[n] = '\0';
  return 0;
}

int FaultFs::OpenDir(const char* path, fuse_file_info* fi) {
  FaultFs& self = Self();
  // Root may list any folder whatever its mode, so an unreadable folder is failed here.
  if (const int error = self.FFaults.ErrorFor(path)) return -error;
  DIR* dir = ::opendir(self.SourcePath(path).c_str());
  if (!dir) return -errno;
  fi->fh = ToHandle(new OpenFolder{dir, path});
  return 0;
}

int FaultFs::ReadDir(const char*, void* buffer, fuse_fill_dir_t filler, off_t offset,
                     fuse_file_info* fi, fuse_readdir_flags flags) {
  const FaultFs& self = Self();
  const OpenFolder& folder = *FromHandle<OpenFolder>(fi);
  DIR* dir = folder.dir;
  // Each entry goes with the position after it, so the kernel takes the
  // listing in parts and asks on from where a part ended. (Only with
  // positions does libfuse pass the attributes of a readdirplus on.)
  if (offset == 0)
    ::rewinddir(dir);
  else
    ::seekdir(dir, offset);
  const bool plus = (flags & FUSE_READDIR_PLUS) != 0;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat st {};
    st.st_ino = entry->d_ino;
    st.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
    auto fill = fuse_fill_dir_flags{};
    // With the full attributes, so the kernel needs no lookup per entry; an
    // entry whose lookup fails goes without them and fails when looked up.
    if (plus && self.ListedAttributes(folder, entry->d_name, st)) fill = FUSE_FILL_DIR_PLUS;
    if (filler(buffer, entry->d_name, &st, ::telldir(dir), fill) != 0) break;  // part full
    errno = 0;
  }
  return errno == 0 ? 0 : -errno;
}

int FaultFs::ReleaseDir(const char*, fuse_file_info* fi) {
  delete FromHandle<OpenFolder>(fi);  // closes the listing
  return 0;
}

// A listed entry's attributes as GetAttr gives them; false for "." and ".."
// and where a lookup of the entry fails (a fault, or it went away).
bool FaultFs::ListedAttributes(const OpenFolder& folder, const char* name, struct stat& st) const {
  if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) return false;
  const std::string path = (folder.path == "/" ? std::string() : folder.path) + '/' + name;
  if (FFaults.LookupErrorFor(path) != 0) return false;
  return ::fstatat(::dirfd(folder.dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int FaultFs::Open(const char* path, fuse_file_info* fi) {
  FaultFs& self = Self();
  if (const int error = self.FFaults.ErrorFor(path)) return -error;
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  if (!self.FOptions.image.empty()) return self.OpenInImage(path, fi);
  platform::FileDescriptor fd(::open(self.SourcePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.IsOpen()) return -errno;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return -errno;
  auto* file = new OpenFile{
      std::move(fd), static_cast<std::uint64_t>(st.st_size), path, self.FFaults.RangesOf(path), {}};
  fi->fh = ToHandle(file);
  // Every read(2) comes here as it was asked: no page cache, no readahead.
  fi->direct_io = 1;
  fi->keep_cache = 0;
  return 0;
}

int FaultFs::OpenInImage(const char* path, fuse_file_info* fi) {
  // The file's bytes as the image records them; a name the image does not
  // hold, or holds with another size, is not served.
  std::string whyNot;
  const auto found =
      platform::FindIsoFileExtents(FOptions.image, path, platform::IsoNaming{}, whyNot);
  struct stat st {};
  if (!found || ::lstat(SourcePath(path).c_str(), &st) != 0 ||
      static_cast<std::int64_t>(st.st_size) != found->size)
    return -EIO;
  platform::FileDescriptor fd(::open(FOptions.image.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.IsOpen()) return -errno;
  auto* file = new OpenFile{std::move(fd), static_cast<std::uint64_t>(found->size), path,
                            FFaults.RangesOf(path), found->extents};
  fi->fh = ToHandle(file);
  fi->direct_io = 1;
  fi->keep_cache = 0;
  return 0;
}

// Reads the file's bytes from offset on: straight from the file, or through
// its extents in the image.
ssize_t FaultFs::ReadFile(const OpenFile& file, char* buffer, std::size_t size, off_t offset) {
  if (file.extents.empty()) return ::pread(file.fd.Get(), buffer, size, offset);
  std::int64_t at = 0;  // the file offset where the extent begins
  for (const platform::DiscExtent& e : file.extents) {
    if (offset < at + e.length) {
      const std::int64_t within = offset - at;
      const auto n = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(size), e.length - within));
      return ::pread(file.fd.Get(), buffer, n, e.offset + within);
    }
    at += e.length;
  }
  return 0;  // at or past the end
}

int FaultFs::Read(const char*, char* buffer, std::size_t size, off_t offset, fuse_file_info* fi) {
  FaultFs& self = Self();
  const OpenFile& file = *FromHandle<OpenFile>(fi);
  ++self.FReadRequests;
  bool failed = false;
  if (!file.ranges.empty()) {
    // A request touches the bytes it would return, so nothing past the end.
    const auto from = static_cast<std::uint64_t>(offset);
    const std::uint64_t to = std::min(from + size, file.size);
    bool counted = false;
    for (BadRange* range : file.ranges) {
      if (!range->Touches(from, to)) continue;
      counted = true;
      failed = range->Attempt() || failed;
    }
    // Written before the reply, so a test sees the count when its read returns.
    if (counted) self.WriteStats();
  }
  Sleep(failed ? self.FOptions.failDelay : self.FOptions.readDelay);
  int result = -EIO;
  if (!failed) {
    std::size_t done = 0;
    int error = 0;
    while (done < size) {
      const ssize_t n =
          ReadFile(file, buffer + done, size - done, offset + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = errno;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    result = error != 0 && done == 0 ? -error : static_cast<int>(done);
  }
  self.Trace(file, offset, size, result);
  return result;
}

int FaultFs::Release(const char*, fuse_file_info* fi) {
  delete FromHandle<OpenFile>(fi);  // closes the source file
  return 0;
}

int FaultFs::StatFs(const char*, struct statvfs* st) {
  return ::statvfs(Self().FSource.c_str(), st) == 0 ? 0 : -errno;
}

}  // namespace faultfs
