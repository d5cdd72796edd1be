// The error-report archives, checked by outside readers (Python's zipfile
// and unzip -t), and the private folder they are made in.

#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "FakeMailClient.h"
#include "PacketFixture.h"
#include "TempDir.h"
#include "reports/uProgress.h"
#include "reports/uSendSource.h"

namespace fs = std::filesystem;
using reportstest::kItemName;
using reportstest::PacketFixture;
using reportstest::ProgressFixture;
using testsupport::ZipFileFacts;

namespace {

struct ArchiveCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> files;  // relative path, bytes
  std::function<void(TSendSourceItem&, const fs::path& data)> fill;
  const char* facts;  // what Python's zipfile reads back
};

void PrintTo(const ArchiveCase& row, std::ostream* out) { *out << row.name; }

class ArchiveTest : public PacketFixture, public ::testing::WithParamInterface<ArchiveCase> {};

TEST_P(ArchiveTest, OutsideReadersFindTheMembers) {
  const ArchiveCase& c = GetParam();
  for (const auto& [path, bytes] : c.files) Write(path, bytes);
  const auto packet = SourceSender::CreatePacket();
  TSendSourceItem& item = packet->AddItem(kItemName);
  c.fill(item, data_);
  EXPECT_EQ(item.GetFileName(), (PrivateFolder() / (kItemName + ".zip")).string());
  EXPECT_EQ(ZipFileFacts(item.GetFileName()), c.facts);
  EXPECT_EQ(testsupport::UnzipTest(item.GetFileName()), 0);
  EXPECT_EQ(Mode(item.GetFileName()), 0600u);
  EXPECT_EQ(Mode(PrivateFolder()), 0700u);
  EXPECT_EQ(item.UpdateCounter(), 0);
}

const std::string kLog(3000, 'L');  // long enough that deflate shrinks it

INSTANTIATE_TEST_SUITE_P(
    Packets, ArchiveTest,
    ::testing::Values(
        ArchiveCase{.name = "TheLogAloneSitsAtTheTop",
                    .files = {{"Err.log", "line one\r\nline two\r\n"}},
                    .fill = [](TSendSourceItem& i,
                               const fs::path& d) { i.AddFiles(d.string() + "/", "Err.log"); },
                    .facts = "Err.log compression=8 encrypted=0 size=20\ntestzip=None\n"},
        ArchiveCase{.name = "SubfolderCopyKeepsItsRelativePath",
                    .files = {{"old/Err.log", "older"}, {"Err.log", "newer!"}},
                    .fill = [](TSendSourceItem& i,
                               const fs::path& d) { i.AddFiles(d.string(), "Err.log"); },
                    .facts = "Err.log compression=8 encrypted=0 size=6\n"
                             "old/Err.log compression=8 encrypted=0 size=5\ntestzip=None\n"},
        ArchiveCase{.name = "OnlyTheExactNameIsTaken",
                    .files = {{"Err.log", "x"}, {"err.log", "y"}, {"Err.log.1", "z"}},
                    .fill = [](TSendSourceItem& i,
                               const fs::path& d) { i.AddFiles(d.string(), "Err.log"); },
                    .facts = "Err.log compression=8 encrypted=0 size=1\ntestzip=None\n"},
        ArchiveCase{.name = "HiddenFoldersAreSearched",
                    .files = {{".cache/Err.log", "h"}},
                    .fill = [](TSendSourceItem& i,
                               const fs::path& d) { i.AddFiles(d.string(), "Err.log"); },
                    .facts = ".cache/Err.log compression=8 encrypted=0 size=1\ntestzip=None\n"},
        ArchiveCase{
            .name = "MaskIsAShellPattern",
            .files = {{"a.txt", "a"}, {"b.log", "b"}, {"sub/c.txt", "c"}},
            .fill = [](TSendSourceItem& i, const fs::path& d) { i.AddFiles(d.string(), "*.txt"); },
            .facts = "a.txt compression=8 encrypted=0 size=1\n"
                     "sub/c.txt compression=8 encrypted=0 size=1\ntestzip=None\n"},
        ArchiveCase{.name = "TwoAddFilesWithoutOuterUpdateKeepOnlyTheSecond",
                    .files = {{"Err.log", "x"}, {"other/notes.txt", "n"}},
                    .fill =
                        [](TSendSourceItem& i, const fs::path& d) {
                          i.AddFiles(d.string(), "Err.log");
                          i.AddFiles((d / "other").string(), "notes.txt");
                        },
                    .facts = "notes.txt compression=8 encrypted=0 size=1\ntestzip=None\n"},
        ArchiveCase{.name = "TwoAddFilesInsideOuterUpdateKeepBoth",
                    .files = {{"Err.log", "x"}, {"other/notes.txt", "n"}},
                    .fill =
                        [](TSendSourceItem& i, const fs::path& d) {
                          i.BeginUpdate();
                          i.AddFiles(d.string(), "Err.log");
                          i.AddFiles((d / "other").string(), "notes.txt");
                          i.EndUpdate();
                        },
                    .facts = "Err.log compression=8 encrypted=0 size=1\n"
                             "notes.txt compression=8 encrypted=0 size=1\ntestzip=None\n"},
        ArchiveCase{.name = "AddFileStoresTheFileUnderItsOwnName",
                    .files = {{"sub/Err.log", "abc"}},
                    .fill = [](TSendSourceItem& i,
                               const fs::path& d) { i.AddFile((d / "sub" / "Err.log").string()); },
                    .facts = "Err.log compression=8 encrypted=0 size=3\ntestzip=None\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PacketFixture, LinksAreNeitherPackedNorEntered) {
  Write("Err.log", "mine");
  Write("elsewhere/secret/Err.log", "not for support");
  fs::create_symlink(data_ / "elsewhere/secret", data_ / "linked-folder");
  fs::create_directories(data_ / "sub");
  fs::create_symlink(data_ / "elsewhere/secret/Err.log", data_ / "sub/Err.log");
  const auto packet = SourceSender::CreatePacket();
  TSendSourceItem& item = packet->AddItem(kItemName);
  item.AddFiles(data_.string(), "Err.log");
  // Only real files below the folder: the folder's own log and the one in
  // "elsewhere/secret" reached as a real folder, never through a link.
  EXPECT_EQ(ZipFileFacts(item.GetFileName()),
            "Err.log compression=8 encrypted=0 size=4\n"
            "elsewhere/secret/Err.log compression=8 encrypted=0 size=15\ntestzip=None\n");
}

TEST_F(PacketFixture, DeflateAtTheFastestLevelShrinksTheLog) {
  Write("Err.log", kLog);
  const auto packet = SourceSender::CreatePacket();
  TSendSourceItem& item = packet->AddItem(kItemName);
  item.AddFiles(data_.string(), "Err.log");
  EXPECT_LT(fs::file_size(item.GetFileName()), kLog.size() / 10);
  EXPECT_EQ(ZipFileFacts(item.GetFileName()),
            "Err.log compression=8 encrypted=0 size=3000\ntestzip=None\n");
}

TEST_F(PacketFixture, NoMatchingFileIsAnErrorAndLeavesNoArchive) {
  Write("err.log", "lower case is another file here");
  const auto packet = SourceSender::CreatePacket();
  TSendSourceItem& item = packet->AddItem(kItemName);
  testsupport::WriteFileBytes(item.GetFileName(), "stale archive of an earlier run");
  EXPECT_THROW(item.AddFiles(data_.string(), "Err.log"), std::runtime_error);
  EXPECT_FALSE(fs::exists(item.GetFileName()));
  EXPECT_EQ(item.UpdateCounter(), 0);
}

TEST_F(PacketFixture, UnfinishedArchiveIsDeletedWithItsItem) {
  Write("Err.log", "x");
  auto packet = SourceSender::CreatePacket();
  TSendSourceItem& item = packet->AddItem(kItemName);
  const std::string file = item.GetFileName();
  item.AddFiles(data_.string(), "Err.log");  // a finished archive of the same name
  ASSERT_TRUE(fs::exists(file));
  item.BeginUpdate();
  item.AddFiles(data_.string(), "Err.log");
  packet->Clear();
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(PacketFixture, FinishedArchiveOutlivesThePacket) {
  Write("Err.log", "x");
  std::string file;
  {
    auto packet = SourceSender::CreatePacket();
    TSendSourceItem& item = packet->AddItem(kItemName);
    item.AddFiles(data_.string(), "Err.log");
    file = item.GetFileName();
  }
  EXPECT_TRUE(fs::exists(file));
}

TEST_F(PacketFixture, FileGoneBeforeTheArchiveIsWrittenFailsWithoutArchive) {
  Write("Err.log", "x");
  const auto packet = SourceSender::CreatePacket();
  TSendSourceItem& item = packet->AddItem(kItemName);
  item.BeginUpdate();
  item.AddFiles(data_.string(), "Err.log");
  fs::remove(data_ / "Err.log");
  EXPECT_THROW(item.EndUpdate(), std::runtime_error);
  EXPECT_FALSE(fs::exists(item.GetFileName()));
  EXPECT_EQ(item.UpdateCounter(), 0);
}

TEST_F(PacketFixture, EndUpdateNeverGoesBelowZero) {
  const auto packet = SourceSender::CreatePacket();
  TSendSourceItem& item = packet->AddItem(kItemName);
  item.EndUpdate();
  item.BeginUpdate();
  EXPECT_EQ(item.UpdateCounter(), 1);
}

// The private folder: made for the user alone, and never one that someone
// else planted at its name.
TEST_F(PacketFixture, PlantedLinkInsteadOfThePrivateFolderIsRefused) {
  fs::create_directories(home_.home() / "planted");
  fs::create_directory_symlink(home_.home() / "planted", PrivateFolder());
  EXPECT_THROW(SourceSender::CreatePacket(), std::runtime_error);
}

TEST_F(PacketFixture, OpenPrivateFolderOfOursIsClosedToOthers) {
  fs::create_directories(PrivateFolder());
  fs::permissions(PrivateFolder(), fs::perms::all);
  const auto packet = SourceSender::CreatePacket();
  EXPECT_EQ(packet->TempPath(), PrivateFolder().string() + "/");
  EXPECT_EQ(Mode(PrivateFolder()), 0700u);
}

TEST_F(PacketFixture, PrivateFolderOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
  fs::create_directories(PrivateFolder());
  ASSERT_EQ(::chown(PrivateFolder().c_str(), 65534, 65534), 0);
  EXPECT_THROW(SourceSender::CreatePacket(), std::runtime_error);
}

TEST_F(ProgressFixture, CompressionIsReportedThroughTheComposite) {
  Write("Err.log", kLog);
  const auto packet = SourceSender::CreatePacket();
  packet->AddItem(kItemName).AddFiles(data_.string(), "Err.log");
  ASSERT_GE(listener_->calls.size(), 3u);
  EXPECT_EQ(listener_->calls.front(), "Start Adding files... 100");
  EXPECT_EQ(listener_->calls[1], "Compressing file Err.log");
  EXPECT_EQ(listener_->calls.back(), "Close");
  ASSERT_FALSE(listener_->positions.empty());
  EXPECT_EQ(listener_->positions.back(), 10000);
  EXPECT_TRUE(std::is_sorted(listener_->positions.begin(), listener_->positions.end()));
  EXPECT_EQ(listener_->Level(), 0);
}

TEST_F(ProgressFixture, CancelStopsTheArchiveAndLeavesNoFile) {
  Write("Err.log", kLog);
  listener_->cancel = true;
  const auto packet = SourceSender::CreatePacket();
  TSendSourceItem& item = packet->AddItem(kItemName);
  EXPECT_THROW(item.AddFiles(data_.string(), "Err.log"), std::runtime_error);
  EXPECT_FALSE(fs::exists(item.GetFileName()));
  EXPECT_EQ(listener_->Level(), 0);
}

}  // namespace
