// Whether a downloaded file is a program for this system, judged by its
// first bytes: ELF executables for this machine and scripts with "#!" are.

#include <elf.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>

#include "TempDir.h"
#include "platform/ProgramFile.h"

namespace {

using testsupport::TempDir;

// The start of the test program, an ELF executable for this machine: its
// header is all the check reads.
std::string OwnProgram() {
  std::ifstream file("/proc/self/exe", std::ios::binary);
  std::string header(sizeof(Elf64_Ehdr), '\0');
  file.read(header.data(), static_cast<std::streamsize>(header.size()));
  return header;
}

// Where the ELF header holds its type and machine (the same in 32 and 64 bits).
constexpr std::size_t kTypeOffset = offsetof(Elf64_Ehdr, e_type);
constexpr std::size_t kMachineOffset = offsetof(Elf64_Ehdr, e_machine);

// The own program with a 16-bit header field changed.
std::string WithField(std::size_t offset, Elf32_Half value) {
  std::string bytes = OwnProgram();
  std::memcpy(bytes.data() + offset, &value, sizeof value);
  return bytes;
}

struct ProgramCase {
  const char* name;
  std::function<std::string()> bytes;  // nullptr: no file at all
  std::optional<std::string> why;      // nothing: a program
};
void PrintTo(const ProgramCase& row, std::ostream* out) { *out << row.name; }

class ProgramFile : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramFile, IsAProgramForThisSystemOrSaysWhyNot) {
  TempDir dir;
  const auto path = dir / "setup.bin";
  if (GetParam().bytes) testsupport::WriteFileBytes(path, GetParam().bytes());
  EXPECT_EQ(platform::WhyNotAProgram(path.string()), GetParam().why);
}

const std::string kNot = "The file is not a program for this system";

INSTANTIATE_TEST_SUITE_P(
    Files, ProgramFile,
    ::testing::Values(
        ProgramCase{"ExecutableOfThisMachine", OwnProgram, std::nullopt},
        ProgramCase{"Script", [] { return "#!/bin/sh\necho installed\n"; }, std::nullopt},
        ProgramCase{"Text", [] { return "not a program"; }, kNot},
        ProgramCase{"HtmlPage", [] { return "<html><body>Moved</body></html>"; }, kNot},
        ProgramCase{"Empty", [] { return ""; }, kNot},
        ProgramCase{"HashWithoutBang", [] { return "# setup\n"; }, kNot},
        ProgramCase{"HalfAnElfHeader", [] { return OwnProgram().substr(0, 10); }, kNot},
        ProgramCase{"ElfOfAnotherMachine",
                    [] {
                      Elf32_Half own = 0;
                      std::memcpy(&own, OwnProgram().data() + kMachineOffset, sizeof own);
                      return WithField(kMachineOffset, own == EM_S390 ? EM_AARCH64 : EM_S390);
                    },
                    kNot},
        ProgramCase{"ElfObjectFile", [] { return WithField(kTypeOffset, ET_REL); }, kNot},
        ProgramCase{"Missing", nullptr, "The file can't be read: No such file or directory"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
