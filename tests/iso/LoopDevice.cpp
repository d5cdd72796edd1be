#include "LoopDevice.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "RunProcess.h"

namespace isotest {

LoopDevice::LoopDevice(const std::filesystem::path& image) {
  const auto r = testsupport::RunProcess({"losetup", "-r", "--sector-size", "2048",
                                          "--direct-io=on", "--find", "--show", image.string()});
  std::string out = r.out;
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  if (r.exitCode != 0 || out.empty()) {
    error_ = "losetup could not attach " + image.string() + " (exit " + std::to_string(r.exitCode) +
             "): " + r.err;
    return;
  }
  path_ = out;
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
    error_ = "losetup printed " + out + ", which is not a block device";
    return;
  }
  major_ = ::major(st.st_rdev);
  minor_ = ::minor(st.st_rdev);
}

LoopDevice::~LoopDevice() {
  if (!path_.empty()) testsupport::RunProcess({"losetup", "-d", path_.string()});
}

}  // namespace isotest
