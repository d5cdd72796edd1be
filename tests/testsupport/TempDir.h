#pragma once
// A fresh folder under the system's temporary folder, removed with all its
// contents when the fixture goes; and environment variables set for a scope.
// Tests point XDG_CONFIG_HOME, XDG_DATA_HOME and HOME at a TempDir so that they
// never touch the real user's folders, log or registry store.

#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return FPath; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return FPath / name; }

 private:
  std::filesystem::path FPath;
};

class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string FName;
  std::optional<std::string> FOld;
};

// A TempDir with HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME inside it.
class IsolatedHome {
 public:
  IsolatedHome();
  const std::filesystem::path& home() const { return FDir.path(); }

 private:
  TempDir FDir;
  ScopedEnv FHome, FConfig, FData, FCache;
};

// root/name/name/... depth levels deep, made relative to each parent so
// that the tree may go past the longest path the system accepts.
void MakeNestedFolders(const std::filesystem::path& root, int depth, const std::string& name);

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace testsupport
