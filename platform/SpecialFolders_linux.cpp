#include "platform/SpecialFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace platform {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string Home() { return UserHomeFolder(); }

std::string XdgHome(const char* variable, std::string_view fallback) {
  return XdgBaseFolder(variable, fallback);
}

// An XDG user folder from user-dirs.dirs (XDG_DOCUMENTS_DIR="$HOME/Documents"),
// or HOME/fallback when the file does not name it.
std::string XdgUserDir(std::string_view key, std::string_view fallback) {
  const std::string home = Home();
  std::ifstream in(XdgHome("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) != 0 || line.size() <= key.size() || line[key.size()] != '=') continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value.front() == '/') {
      while (value.size() > 1 && value.back() == '/') value.pop_back();
      return value;
    }
  }
  return home.empty() ? std::string() : home + "/" + std::string(fallback);
}

std::string FirstDataDir() {
  std::string dirs = Env("XDG_DATA_DIRS");
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  return dirs.substr(0, dirs.find(':'));
}

class LinuxSpecialFolders final : public ISpecialFolders {
 public:
  std::string FolderPath(std::uint16_t csidl) const override {
    switch (csidl) {
      case 0x00:  // DESKTOP
      case 0x10:  // DESKTOPDIRECTORY
        return XdgUserDir("XDG_DESKTOP_DIR", "Desktop");
      case 0x05:  // PERSONAL
      case 0x0C:  // MYDOCUMENTS
        return XdgUserDir("XDG_DOCUMENTS_DIR", "Documents");
      case 0x0D:  // MYMUSIC
        return XdgUserDir("XDG_MUSIC_DIR", "Music");
      case 0x27:  // MYPICTURES
        return XdgUserDir("XDG_PICTURES_DIR", "Pictures");
      case 0x0E:  // MYVIDEO
        return XdgUserDir("XDG_VIDEOS_DIR", "Videos");
      case 0x15:  // TEMPLATES
        return XdgUserDir("XDG_TEMPLATES_DIR", "Templates");
      case 0x2E:  // COMMON_DOCUMENTS: the folder shared with other users
        return XdgUserDir("XDG_PUBLICSHARE_DIR", "Public");
      case 0x1A:  // APPDATA: roaming settings
        return XdgHome("XDG_CONFIG_HOME", ".config");
      case 0x1C:  // LOCAL_APPDATA
        return XdgHome("XDG_DATA_HOME", ".local/share");
      case 0x20:  // INTERNET_CACHE
        return XdgHome("XDG_CACHE_HOME", ".cache");
      case 0x14:  // FONTS
        return XdgHome("XDG_DATA_HOME", ".local/share") + "/fonts";
      case 0x02:  // PROGRAMS: the user's menu entries
      case 0x0B:  // STARTMENU
        return XdgHome("XDG_DATA_HOME", ".local/share") + "/applications";
      case 0x07:  // STARTUP
        return XdgHome("XDG_CONFIG_HOME", ".config") + "/autostart";
      case 0x23:  // COMMON_APPDATA
        return FirstDataDir();
      case 0x16:  // COMMON_STARTMENU
      case 0x17:  // COMMON_PROGRAMS
        return "/usr/share/applications";
      case 0x18:  // COMMON_STARTUP
        return "/etc/xdg/autostart";
      case 0x28:  // PROFILE
        return Home();
      case 0x3E: {  // PROFILES: the folder that holds the users' homes
        const std::string home = Home();
        const auto slash = home.find_last_of('/');
        return slash == std::string::npos || slash == 0 ? std::string() : home.substr(0, slash);
      }
      case 0x26:  // PROGRAM_FILES
        return "/opt";
      default:  // virtual shell folders and Windows-only places
        return std::string();
    }
  }
};

}  // namespace

std::string UserHomeFolder() {
  const std::string home = Env("HOME");
  if (!home.empty()) return home;
  const passwd* account = ::getpwuid(::getuid());
  return account && account->pw_dir ? std::string(account->pw_dir) : std::string();
}

std::string XdgBaseFolder(const char* variable, std::string_view fallbackBelowHome) {
  const std::string value = Env(variable);
  if (!value.empty() && value.front() == '/') return value;
  const std::string home = UserHomeFolder();
  return home.empty() ? std::string() : home + "/" + std::string(fallbackBelowHome);
}

const ISpecialFolders& SystemSpecialFolders() {
  static const LinuxSpecialFolders folders;
  return folders;
}

}  // namespace platform
