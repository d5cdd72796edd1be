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

}  // namespace platform
