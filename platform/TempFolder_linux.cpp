#include "platform/TempFolder.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/FileDescriptor.h"

namespace platform {

namespace {

[[noreturn]] void Fail(const std::string& aFolder, const std::string& aReason) {
  throw std::runtime_error("The private temporary folder \"" + aFolder + "\" " + aReason);
}

}  // namespace

std::string TemporaryFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string folder = "/tmp";
  struct stat st {};
  if (env && env[0] == '/' && ::stat(env, &st) == 0 && S_ISDIR(st.st_mode)) folder = env;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string PrivateTemporaryFolder(const std::string& aName) {
  const std::string folder = TemporaryFolder() + aName + "-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    Fail(folder, std::string("cannot be created: ") + std::strerror(errno));
  }
  // Opened without following a link, so that what is checked is what is used:
  // another user may have planted a link or a folder of theirs at this name.
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.IsOpen()) Fail(folder, std::string("cannot be opened: ") + std::strerror(errno));
  struct stat st {};
  const bool ok = ::fstat(fd.Get(), &st) == 0;
  if (ok && st.st_uid != ::getuid()) Fail(folder, "belongs to another user");
  // Ours: close it to others whatever it was left at.
  const bool closed = ok && ((st.st_mode & 0077) == 0 || ::fchmod(fd.Get(), 0700) == 0);
  fd.Reset();
  if (!closed) Fail(folder, "cannot be closed to other users");
  return folder + "/";
}

bool RestrictToOwner(const std::string& aFile) { return ::chmod(aFile.c_str(), 0600) == 0; }

bool MatchesFileMask(const std::string& aName, const std::string& aMask) {
  return ::fnmatch(aMask.c_str(), aName.c_str(), 0) == 0;
}

}  // namespace platform
