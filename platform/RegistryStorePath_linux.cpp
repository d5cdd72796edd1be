// Where the current user's registry store lives on Linux: the XDG
// configuration folder, like the settings of other desktop programs.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/RegistryStore.h"

namespace platform {

std::filesystem::path RegistryStorePath() {
  std::filesystem::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : "/";
    }
    config = std::filesystem::path(home) / ".config";
  }
  return config / "Velmora Free" / "registry.sqlite3";
}

}  // namespace platform
