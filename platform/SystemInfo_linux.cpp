#include "platform/SystemInfo.h"

#include <fstream>

namespace platform {

std::string OsProductName() {
  for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
      std::string value = line.substr(12);
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      return value;
    }
  }
  return std::string();
}

}  // namespace platform
