#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "TempDir.h"
#include "platform/Files.h"
#include "platform/LocaleDateTime.h"

namespace {

using testsupport::TempDir;

TEST(AppendToFile, CreatesMissingFileAndAppends) {
  TempDir dir;
  const auto file = dir / "log.txt";
  ASSERT_TRUE(platform::AppendToFile(file, "one\n"));
  ASSERT_TRUE(platform::AppendToFile(file, "two\n"));
  EXPECT_EQ(testsupport::ReadFileBytes(file), "one\ntwo\n");
}

TEST(AppendToFile, FailsInMissingFolder) {
  TempDir dir;
  EXPECT_FALSE(platform::AppendToFile(dir / "no/such/folder/log.txt", "x"));
}

// Two processes appending at once must lose no line and tear none.
TEST(AppendToFile, TwoProcessesAppendingAtOnceLoseNothing) {
  TempDir dir;
  const auto file = dir / "shared.log";
  constexpr int kLines = 500;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      bool ok = true;
      for (int i = 0; i < kLines; ++i)
        ok &= platform::AppendToFile(file, "writer" + std::to_string(c) + " line " +
                                               std::to_string(i) + std::string(200, '.') + "\n");
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::istringstream in(testsupport::ReadFileBytes(file));
  std::set<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.insert(line);
  EXPECT_EQ(lines.size(), 2u * kLines);
}

TEST(ForceDirectories, CreatesTheWholeChain) {
  TempDir dir;
  EXPECT_TRUE(platform::ForceDirectories(dir / "a/b/c"));
  EXPECT_TRUE(platform::DirectoryExists(dir / "a/b/c"));
  EXPECT_FALSE(platform::FileExists(dir / "a/b/c"));
  testsupport::WriteFileBytes(dir / "file", "x");
  EXPECT_FALSE(platform::ForceDirectories(dir / "file/sub"));
}

struct BelowRow {
  const char* name;
  const char* path;
  const char* folder;
  bool below;
};

void PrintTo(const BelowRow& row, std::ostream* os) { *os << row.name; }

class IsAtOrBelow : public ::testing::TestWithParam<BelowRow> {};

TEST_P(IsAtOrBelow, ComparesWholeNames) {
  EXPECT_EQ(platform::IsAtOrBelow(GetParam().path, GetParam().folder), GetParam().below);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, IsAtOrBelow,
    ::testing::Values(BelowRow{"child", "/dev/sr0", "/dev", true},
                      BelowRow{"same", "/dev", "/dev", true},
                      BelowRow{"longer_name_is_not_below", "/devices", "/dev", false},
                      BelowRow{"folder_with_trailing_delimiter", "/dev/sr0", "/dev/", true},
                      BelowRow{"repeated_delimiters", "/media//disc/x", "/media/disc", true},
                      BelowRow{"parent_is_not_below", "/", "/dev", false},
                      BelowRow{"everything_is_below_the_root", "/run/media", "/", true},
                      BelowRow{"relative", "docs/a.txt", "docs", true},
                      BelowRow{"relative_is_not_below_absolute", "dev/sr0", "/dev", false}),
    [](const auto& info) { return std::string(info.param.name); });

// 2026-12-09 22:47:02 UTC as each locale writes the short date and the long
// time. test.sh generates de_DE.UTF-8 and ar_SA.UTF-8.
struct DateTimeRow {
  const char* name;
  std::string locale;
  std::string text;
};

void PrintTo(const DateTimeRow& row, std::ostream* os) { *os << row.name; }

class LocalDateTimeText : public ::testing::TestWithParam<DateTimeRow> {};

TEST_P(LocalDateTimeText, FollowsTheLocaleFormats) {
  testsupport::ScopedEnv tz("TZ", "UTC");
  ::tzset();
  EXPECT_EQ(platform::LocalDateTimeText(1796856422, GetParam().locale), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocalDateTimeText,
    ::testing::Values(DateTimeRow{"c", "C", "12/09/26 22:47:02"},
                      DateTimeRow{"german", "de_DE.UTF-8", "09.12.2026 22:47:02"},
                      DateTimeRow{"arabic_right_to_left", "ar_SA.UTF-8",
                                  "الأربعاء  9 ديسمبر 2026 22:47:02"},
                      DateTimeRow{"not_installed_is_c", "xx_NOWHERE.UTF-8", "12/09/26 22:47:02"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
