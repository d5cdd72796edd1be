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

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; make them writable first.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
  // Trees deeper than the longest path the system accepts defeat remove_all;
  // rm walks them by descriptors.
  if (std::filesystem::exists(path_, ec)) RunProcess({"rm", "-rf", "--", path_.string()});
}

void MakeNestedFolders(const std::filesystem::path& root, int depth, const std::string& name) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; fd >= 0 && i < depth; ++i) {
    if (::mkdirat(fd, name.c_str(), 0755) != 0 && errno != EEXIST) break;
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = next;
  }
  if (fd < 0) throw std::runtime_error("cannot make nested folders in " + root.string());
  ::close(fd);
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) old_ = old;
  ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    ::setenv(name_.c_str(), old_->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

IsolatedHome::IsolatedHome()
    : home_("HOME", dir_.path().string()),
      config_("XDG_CONFIG_HOME", (dir_.path() / ".config").string()),
      data_("XDG_DATA_HOME", (dir_.path() / ".local/share").string()),
      cache_("XDG_CACHE_HOME", (dir_.path() / ".cache").string()) {}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testsupport
