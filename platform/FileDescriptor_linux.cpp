#include <unistd.h>

#include "platform/FileDescriptor.h"

namespace platform {

void FileDescriptor::Reset(int aFd) {
  // close() frees the descriptor even when it reports an error, so it is
  // never retried (a retry could close a descriptor another thread got).
  if (FFd >= 0) ::close(FFd);
  FFd = aFd;
}

}  // namespace platform
