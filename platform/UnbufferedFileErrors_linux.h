#pragma once
// What a failed read's errno means for the copy, shared by the Linux readers.

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "platform/UnbufferedFile.h"

namespace platform {

// The medium, the device or the file system behind the descriptor is gone:
// a disc taken out (ENOMEDIUM), a drive unplugged (ENXIO, ENODEV), a FUSE
// or network file system whose server ended (ENOTCONN, ESTALE, ESHUTDOWN),
// a descriptor revoked (EBADF). EIO and the rest are medium errors.
inline ReadError ReadErrorOfErrno(int error) {
  switch (error) {
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
    case ENOTCONN:
    case ESTALE:
    case EBADF:
    case ESHUTDOWN:
    case ECONNABORTED:
    case ECONNRESET:
      return ReadError::Gone;
    default:
      return ReadError::Medium;
  }
}

// A read that found the end of a regular file before `expectedEnd`: Shrunk
// when the file is now shorter than that, else a medium error (a block
// device's size is cut by the kernel after a medium error near its end).
inline ReadError ShortReadError(int fd, std::int64_t expectedEnd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ReadErrorOfErrno(errno);
  if (S_ISREG(st.st_mode) && static_cast<std::int64_t>(st.st_size) < expectedEnd)
    return ReadError::Shrunk;
  return ReadError::Medium;
}

inline FileId FileIdOfStat(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace platform
