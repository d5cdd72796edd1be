// Where the current user's registry store lives on Linux: the XDG
// configuration folder, like the settings of other desktop programs.

#include "platform/RegistryStore.h"
#include "platform/SpecialFolders.h"

namespace platform {

std::filesystem::path RegistryStorePath() {
  std::string config = XdgBaseFolder("XDG_CONFIG_HOME", ".config");
  if (config.empty()) config = "/.config";  // an account without a home
  return std::filesystem::path(config) / "Velmora Free" / "registry.sqlite3";
}

}  // namespace platform
