#pragma once
// The platform's special folders, asked for by the shell identifiers (CSIDL
// numbers) that the special-folder table stores. On Linux each identifier maps
// to the nearest XDG location; identifiers with no counterpart give "".

#include <cstdint>
#include <string>

namespace platform {

class ISpecialFolders {
 public:
  virtual ~ISpecialFolders() = default;
  // The folder's path, without a trailing delimiter; "" when it has none here.
  virtual std::string FolderPath(std::uint16_t csidl) const = 0;
};

// Reads the environment (HOME, XDG_*) and user-dirs.dirs at each call.
const ISpecialFolders& SystemSpecialFolders();

}  // namespace platform
