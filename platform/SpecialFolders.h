#pragma once
// The platform's special folders, asked for by the shell identifiers (CSIDL
// numbers) that the special-folder table stores. On Linux each identifier maps
// to the nearest XDG location; identifiers with no counterpart give "".

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class ISpecialFolders {
 public:
  virtual ~ISpecialFolders() = default;
  // The folder's path, without a trailing delimiter; "" when it has none here.
  virtual std::string FolderPath(std::uint16_t csidl) const = 0;
};

// Reads the environment (HOME, XDG_*) and user-dirs.dirs at each call.
const ISpecialFolders& SystemSpecialFolders();

// The user's home folder: $HOME, else the account's home in the user
// database; "" when neither names one.
std::string UserHomeFolder();
// An XDG base folder: $variable ("XDG_CONFIG_HOME") when it is an absolute
// path, else the home folder joined with fallbackBelowHome (".config");
// "" without a home folder. Every user of these folders asks here, so that
// they all agree on where the files are.
std::string XdgBaseFolder(const char* variable, std::string_view fallbackBelowHome);

}  // namespace platform
