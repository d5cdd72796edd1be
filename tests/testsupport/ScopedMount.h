#pragma once
// A file system mounted for one test (the tests run as root) and unmounted
// when the test ends however it ends; a busy mount is detached lazily.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class ScopedMount {
 public:
  // Runs "mount <arguments> <point>".
  ScopedMount(std::vector<std::string> arguments, const std::filesystem::path& point);
  ~ScopedMount();
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;

  // A tmpfs of one mebibyte.
  static std::vector<std::string> Tmpfs() { return {"-t", "tmpfs", "-o", "size=1m", "tmpfs"}; }
  // An image through a loop device, read-only; the loop device goes with the
  // unmount (mount -o loop sets autoclear).
  static std::vector<std::string> ReadOnlyImage(const std::filesystem::path& image,
                                                const std::string& fsType) {
    return {"-t", fsType, "-o", "loop,ro", image.string()};
  }
  // A read-only view of a folder.
  static std::vector<std::string> ReadOnlyBind(const std::filesystem::path& folder) {
    return {"--bind", "-o", "ro", folder.string()};
  }

  bool mounted() const { return FMounted; }
  const std::string& error() const { return FError; }
  // True when the point is free again.
  bool Unmount();

 private:
  std::filesystem::path FPoint;
  bool FMounted = false;
  std::string FError;
};

}  // namespace testsupport
