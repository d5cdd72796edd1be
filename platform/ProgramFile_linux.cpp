#include "platform/ProgramFile.h"

#include <elf.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace platform {

namespace {

// The identification and the type fields are at the same place in 32- and
// 64-bit headers; Elf32 is read for them alone.
struct TElfStart {
  unsigned char ident[EI_NIDENT];
  Elf32_Half type;
  Elf32_Half machine;
};

bool ReadStart(const std::string& aPath, TElfStart& aStart, std::streamsize& aCount) {
  std::ifstream file(aPath, std::ios::binary);
  if (!file) return false;
  file.read(reinterpret_cast<char*>(&aStart), sizeof aStart);
  aCount = file.gcount();
  return !file.bad();
}

}  // namespace

std::optional<std::string> WhyNotAProgram(const std::string& aPath) {
  TElfStart start{};
  std::streamsize count = 0;
  if (!ReadStart(aPath, start, count))
    return "The file can't be read: " + std::string(std::strerror(errno));
  const std::string notAProgram = "The file is not a program for this system";
  if (count >= 2 && start.ident[0] == '#' && start.ident[1] == '!') return std::nullopt;
  if (count < static_cast<std::streamsize>(sizeof start) ||
      std::memcmp(start.ident, ELFMAG, SELFMAG) != 0) {
    return notAProgram;
  }
  // The running launcher is the measure of "this system": same word size,
  // byte order and machine.
  TElfStart self{};
  std::streamsize selfCount = 0;
  if (!ReadStart("/proc/self/exe", self, selfCount) ||
      selfCount < static_cast<std::streamsize>(sizeof self)) {
    return "The launcher's own program can't be read";
  }
  if (start.ident[EI_CLASS] != self.ident[EI_CLASS] ||
      start.ident[EI_DATA] != self.ident[EI_DATA] || start.machine != self.machine ||
      (start.type != ET_EXEC && start.type != ET_DYN)) {
    return notAProgram;
  }
  return std::nullopt;
}

}  // namespace platform
