// The registry store's view of Linux error codes.

#include <cerrno>

#include "platform/RegistrySqlite.h"

namespace platform {

bool IsDiskFullError(int aSystemError) { return aSystemError == ENOSPC || aSystemError == EDQUOT; }

}  // namespace platform
