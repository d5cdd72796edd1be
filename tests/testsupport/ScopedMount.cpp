#include "ScopedMount.h"

#include "RunProcess.h"

namespace testsupport {

ScopedMount::ScopedMount(std::vector<std::string> arguments, const std::filesystem::path& point)
    : FPoint(point) {
  arguments.insert(arguments.begin(), "mount");
  arguments.push_back(point.string());
  const auto result = RunProcess(arguments);
  FMounted = result.exitCode == 0;
  FError = result.err;
}

ScopedMount::~ScopedMount() { Unmount(); }

bool ScopedMount::Unmount() {
  if (!FMounted) return true;
  FMounted = RunProcess({"umount", FPoint.string()}).exitCode != 0;
  if (FMounted) FMounted = RunProcess({"umount", "-l", FPoint.string()}).exitCode != 0;
  return !FMounted;
}

}  // namespace testsupport
