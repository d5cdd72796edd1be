// velmora-cli copy, run as a user would run it, on a damaged disc.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <optional>
#include <thread>

#include "FaultDisc.h"
#include "FuseDisc.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "platform/UnbufferedFile.h"

namespace recovery_test {
namespace {

using testsupport::FaultDisc;
using testsupport::RunProcess;
using testsupport::TempDir;

struct CliRow {
  const char* name;
  std::int64_t badSector;
  std::vector<std::string> events;  // "$S" for the source path; tab-separated fields
};
void PrintTo(const CliRow& row, std::ostream* os) { *os << row.name; }

const std::string Read = "fseProgress\t$S\t2048\tfscNormal";
const std::string Failed = "fseProgress\t\t0\tfscNormal";

class CliCopyOnDamagedDisc : public testing::TestWithParam<CliRow> {};

TEST_P(CliCopyOnDamagedDisc, PrintsEventsReadPathOnceAndSaved) {
  const CliRow& row = GetParam();
  TempDir source, out;
  testsupport::IsolatedHome home;
  const std::string bytes = SectorPattern(5000);
  testsupport::WriteFileBytes(source / "f.bin", bytes);
  const auto range = std::to_string(row.badSector) + "s " + std::to_string(row.badSector + 1) + 's';
  FaultDisc disc(source.path(), "bad /f.bin " + range + "\n");
  const auto input = disc / "f.bin";
  const auto target = out / "f.bin";

  const auto r = RunProcess({Cli(), "copy", input.string(), target.string(), "--events"});

  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::string expected;
  for (auto line : row.events) {
    for (std::size_t p; (p = line.find("$S")) != std::string::npos;)
      line.replace(p, 2, input.string());
    expected += line + '\n';
  }
  expected += std::string("read path\t") + platform::ReadPathText(platform::ReadPath::Direct) +
              "\nsaved (1 unreadable sector filled with zeros)\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(
      SameBytes(testsupport::ReadFileBytes(target), WithZeroSectors(bytes, {row.badSector})));
  const auto counted = disc.attempts("/f.bin", static_cast<std::uint64_t>(row.badSector * Sector),
                                     static_cast<std::uint64_t>((row.badSector + 1) * Sector));
  EXPECT_EQ(counted.attempts, 3u);
  EXPECT_EQ(counted.failures, 3u);
}

INSTANTIATE_TEST_SUITE_P(
    DamagedDisc, CliCopyOnDamagedDisc,
    testing::Values(CliRow{"BadSecondBlock",
                           1,
                           {"fseStartFile\t$S\t5000\tfscNormal", Read, Failed, Failed, Failed, Read,
                            "fseProgress\t$S\t904\tfscNormal", "fseEndFile\t$S\t5000\tfscNormal"}},
                    CliRow{"BadLastBlock",
                           2,
                           {"fseStartFile\t$S\t5000\tfscNormal", Read, Read, Failed, Failed, Failed,
                            "fseProgress\t$S\t904\tfscNormal", "fseEndFile\t$S\t5000\tfscNormal"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The ways a copy used to lose data, each refused now with "not saved", the
// reason on standard error, and the source and any existing target intact.
struct RefusedCopyRow {
  const char* name;
  // Makes the source and the target's name under `dir`; the source is
  // src.bin (5000 pattern bytes) unless the row makes it otherwise, an
  // existing target holds "keep me". `faults` are listed for src.bin when
  // the source is read from the damaged disc.
  std::string source;  // relative to the disc when `faults` is set, else to dir
  std::string target;  // relative to dir
  std::string faults;
  std::string reason;  // in the message on standard error
};
void PrintTo(const RefusedCopyRow& row, std::ostream* os) { *os << row.name; }

class CliCopyRefuses : public testing::TestWithParam<RefusedCopyRow> {};

TEST_P(CliCopyRefuses, NotSavedNothingLostReasonGiven) {
  const auto& row = GetParam();
  TempDir dir, discFolder;
  testsupport::IsolatedHome home;
  const std::string bytes = SectorPattern(5000);
  testsupport::WriteFileBytes(dir / "src.bin", bytes);
  testsupport::WriteFileBytes(discFolder / "src.bin", bytes);
  testsupport::WriteFileBytes(dir / "existing.bin", "keep me");
  std::filesystem::create_symlink(dir / "src.bin", dir / "link.bin");
  std::filesystem::create_hard_link(dir / "src.bin", dir / "hard.bin");
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::optional<FaultDisc> disc;
  std::filesystem::path source = dir / row.source;
  if (!row.faults.empty()) {
    disc.emplace(discFolder.path(), row.faults);
    source = *disc / row.source;
  }

  const auto r = RunProcess({Cli(), "copy", source.string(), (dir / row.target).string()});

  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "not saved\n");
  EXPECT_NE(r.err.find(row.reason), std::string::npos) << r.err;
  EXPECT_TRUE(SameBytes(testsupport::ReadFileBytes(dir / "src.bin"), bytes)) << "source";
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "existing.bin"), "keep me");
  EXPECT_FALSE(std::filesystem::exists(dir / "new.bin")) << "a target made for nothing";
}

INSTANTIATE_TEST_SUITE_P(
    DataLoss, CliCopyRefuses,
    testing::Values(
        RefusedCopyRow{"OntoItself", "src.bin", "src.bin", "", "is the source file itself"},
        RefusedCopyRow{"OntoItselfThroughDot", "src.bin", "./src.bin", "",
                       "is the source file itself"},
        RefusedCopyRow{"OntoASymbolicLinkToIt", "src.bin", "link.bin", "",
                       "is the source file itself"},
        RefusedCopyRow{"OntoAHardLinkOfIt", "hard.bin", "src.bin", "", "is the source file itself"},
        RefusedCopyRow{"MissingSourceOverAnExistingTarget", "none.bin", "existing.bin", "",
                       "Cannot open file"},
        RefusedCopyRow{"MissingSourceToANewTarget", "none.bin", "new.bin", "", "Cannot open file"},
        RefusedCopyRow{"FolderAsSource", "folder", "existing.bin", "", "Cannot open file"},
        RefusedCopyRow{"FifoAsSource", "fifo", "existing.bin", "", "Cannot open file"},
        RefusedCopyRow{"DiscFileThatFailsToOpenWithEIO", "src.bin", "existing.bin",
                       "unreadable /src.bin EIO\n", "Cannot open file"},
        RefusedCopyRow{"DiscFileThatFailsToOpenWithEACCES", "src.bin", "new.bin",
                       "unreadable /src.bin EACCES\n", "Cannot open file"}),
    [](const auto& info) { return std::string(info.param.name); });

// The disc's file system killed during the copy: every later read fails
// with ENOTCONN, as reads of a disc taken out fail with ENOMEDIUM. The copy
// stops at the first such read, keeps what it wrote and says why.
TEST(CliCopyOnDamagedDisc, DiscThatVanishesEndsTheCopyNotSaved) {
  TempDir source, out;
  testsupport::IsolatedHome home;
  const std::int64_t size = 32 << 20;
  const std::string bytes = SectorPattern(static_cast<std::size_t>(size));
  testsupport::WriteFileBytes(source / "big.bin", bytes);
  testsupport::FaultDiscOptions options;
  options.readDelay = std::chrono::milliseconds(5);  // a copy of seconds, time to pull the disc
  FaultDisc disc(source.path(), "", options);
  const auto target = out / "big.bin";

  testsupport::ProcessResult r;
  std::thread copy([&] {
    r = RunProcess({Cli(), "copy", (disc / "big.bin").string(), target.string(), "--events"});
  });
  const auto written = [&target] {
    std::error_code ec;
    const auto n = std::filesystem::file_size(target, ec);
    return ec ? 0u : n;
  };
  for (int i = 0; i < 10000 && written() < (1u << 20); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::kill(disc.pid(), SIGKILL);
  const auto killed = std::chrono::steady_clock::now();
  copy.join();
  // For the record, not a limit: how soon the copy gave up.
  std::cout << "copy ended "
            << std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - killed)
                   .count()
            << " ms after the disc vanished\n";

  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(r.out.ends_with("not saved\n")) << r.out.substr(r.out.size() - 200);
  EXPECT_EQ(r.out.find("fseProgress\t\t0"), std::string::npos) << "no attempt after the first";
  EXPECT_EQ(r.out.find("fseEndFile"), std::string::npos);
  EXPECT_NE(r.err.find("no longer available"), std::string::npos) << r.err;
  const std::string saved = testsupport::ReadFileBytes(target);
  EXPECT_GE(saved.size(), 1u << 20);
  EXPECT_LT(saved.size(), bytes.size());
  EXPECT_TRUE(SameBytes(saved, bytes.substr(0, saved.size()))) << "what was written stays";
}

}  // namespace
}  // namespace recovery_test
