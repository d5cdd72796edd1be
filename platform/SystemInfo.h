#pragma once
// Facts about the running system shown in messages.

#include <string>

namespace platform {

// The operating system's product name ("Debian GNU/Linux 12 (bookworm)"),
// or "" when it cannot be told.
std::string OsProductName();

}  // namespace platform
