#include "TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "RunProcess.h"
#include "platform/FileDescriptor.h"

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; make them writable first.
  for (auto it = std::filesystem::recursive_directory_iterator(
           FPath, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(FPath, ec);
  // Trees deeper than the longest path the system accepts defeat remove_all;
  // rm walks them by descriptors.
  if (std::filesystem::exists(FPath, ec)) RunProcess({"rm", "-rf", "--", FPath.string()});
}

void MakeNestedFolders(const std::filesystem::path& root, int depth, const std::string& name) {
  platform::FileDescriptor fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (int i = 0; fd.IsOpen() && i < depth; ++i) {
    // A level that cannot be made fails the fixture rather than leaving a
    // shallower tree than the test asked for.
    if (::mkdirat(fd.Get(), name.c_str(), 0755) != 0 && errno != EEXIST)
      fd.Reset();
    else
      fd.Reset(::openat(fd.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  if (!fd.IsOpen()) throw std::runtime_error("cannot make nested folders in " + root.string());
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : FName(std::move(name)) {
  if (const char* old = std::getenv(FName.c_str())) FOld = old;
  ::setenv(FName.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (FOld)
    ::setenv(FName.c_str(), FOld->c_str(), 1);
  else
    ::unsetenv(FName.c_str());
}

IsolatedHome::IsolatedHome()
    : FHome("HOME", FDir.path().string()),
      FConfig("XDG_CONFIG_HOME", (FDir.path() / ".config").string()),
      FData("XDG_DATA_HOME", (FDir.path() / ".local/share").string()),
      FCache("XDG_CACHE_HOME", (FDir.path() / ".cache").string()) {}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testsupport
