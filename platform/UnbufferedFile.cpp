#include "platform/UnbufferedFile.h"

namespace platform {

const char* ReadPathText(ReadPath path) {
  switch (path) {
    case ReadPath::Direct:
      return "direct reads from the file (O_DIRECT)";
    case ReadPath::Device:
      return "sector reads from the device at the file's extents";
    case ReadPath::Cache:
      return "reads through the cache, pages dropped after each block";
  }
  return "";
}

const char* ReadErrorText(ReadError error) {
  switch (error) {
    case ReadError::Medium:
      return "a read error on the medium";
    case ReadError::Gone:
      return "the disc or its drive is no longer available";
    case ReadError::Shrunk:
      return "the source file became shorter while it was copied";
  }
  return "";
}

}  // namespace platform
