#include "support/uFileVersion.h"

#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "platform/VersionResource.h"
#include "support/uFunctions.h"

std::string GetFileVersion(const std::filesystem::path& FileName) {
  std::string result;
  try {
    const std::uint32_t size = platform::FileVersionInfoSize(FileName);
    if (size == 0) return result;
    std::vector<char> block(size, '\0');
    // A failed read leaves the block zero and every query below fails.
    platform::ReadFileVersionInfo(FileName, block);
    for (std::size_t i = 0; i < VersionInfoKeys.size(); ++i) {
      std::string_view value;
      const std::string subBlock = std::string("StringFileInfo\\040904E4\\") + VersionInfoKeys[i];
      if (platform::QueryVersionValue(block, subBlock, value) && i == 2) {
        result.assign(value.substr(0, value.find('\0')));
      }
    }
  } catch (...) {
    WriteErrorMessage(edsSilent, AID_Common_Forms, 1,
                      "[GetSelfApplicationVersion] Can't get application version");
  }
  return result;
}

std::string GetSelfApplicationVersion() { return GetFileVersion(platform::SelfExecutablePath()); }
