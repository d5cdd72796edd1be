// The system's unbuffered opener and target writer on real files.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <map>

#include "TempDir.h"
#include "platform/DirectoryList.h"
#include "platform/TargetFile.h"
#include "platform/UnbufferedFile.h"

namespace {

using testsupport::TempDir;

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 13);
  return bytes;
}

std::string ReadAll(platform::IUnbufferedFile& file) {
  platform::AlignedSector buffer;
  std::string out;
  for (;;) {
    const auto n = file.Read(buffer.bytes, platform::SectorSize);
    if (n <= 0) {
      EXPECT_EQ(n, 0);
      break;
    }
    out.append(reinterpret_cast<const char*>(buffer.bytes), static_cast<std::size_t>(n));
  }
  return out;
}

TEST(SystemUnbufferedOpener, ReadsAFileWholeIncludingThePartialLastSector) {
  TempDir dir;
  const auto bytes = Pattern(5000);
  testsupport::WriteFileBytes(dir / "f", bytes);
  std::string error;
  auto file = platform::SystemUnbufferedOpener().Open(dir / "f", error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->Size(), 5000);
  EXPECT_EQ(ReadAll(*file), bytes);
  EXPECT_EQ(file->Position(), 5000);
  std::cout << "read path on " << dir.path() << ": " << platform::ReadPathText(file->Path())
            << '\n';
}

TEST(SystemUnbufferedOpener, SizeAndReadsPastFourGiB) {
  TempDir dir;
  const auto name = dir / "big";
  const std::int64_t size = (std::int64_t{9} << 29) + 100;
  {
    std::ofstream out(name, std::ios::binary);
    out.seekp(size - 100);
    out << Pattern(100);
  }
  std::string error;
  auto file = platform::SystemUnbufferedOpener().Open(name, error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->Size(), size);
  ASSERT_TRUE(file->Seek(size - 100));
  platform::AlignedSector buffer;
  EXPECT_EQ(file->Read(buffer.bytes, platform::SectorSize), 100);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.bytes), 100), Pattern(100));
  EXPECT_EQ(file->Read(buffer.bytes, platform::SectorSize), 0);
}

TEST(SystemUnbufferedOpener, MissingFileAndFolderCannotBeOpened) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(platform::SystemUnbufferedOpener().Open(dir / "none", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(platform::SystemUnbufferedOpener().Open(dir.path(), error));
}

// A file that shrank after opening (the kernel does so after a medium error
// near a disc's end): the short read is a failure, not the end of the file.
TEST(SystemUnbufferedOpener, ShortReadBeforeTheEndIsAFailure) {
  TempDir dir;
  testsupport::WriteFileBytes(dir / "f", Pattern(8192));
  std::string error;
  auto file = platform::SystemUnbufferedOpener().Open(dir / "f", error);
  ASSERT_TRUE(file) << error;
  std::filesystem::resize_file(dir / "f", 3000);
  platform::AlignedSector buffer;
  EXPECT_EQ(file->Read(buffer.bytes, platform::SectorSize), 2048);
  EXPECT_EQ(file->Read(buffer.bytes, platform::SectorSize), -1);
  EXPECT_EQ(file->Position(), 2048);
}

TEST(SystemTargetCreator, CreatesTruncatesAndCounts) {
  TempDir dir;
  testsupport::WriteFileBytes(dir / "t", "old contents");
  std::string error;
  auto target = platform::SystemTargetCreator().Create(dir / "t", error);
  ASSERT_TRUE(target) << error;
  const std::string text = "new";
  EXPECT_EQ(target->Write(reinterpret_cast<const std::byte*>(text.data()), 3), 3);
  EXPECT_EQ(target->Size(), 3);
  target.reset();
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "t"), "new");
  EXPECT_FALSE(platform::SystemTargetCreator().Create(dir / "no" / "t", error));
}

TEST(SystemDirectoryEnumerator, AttributesOfEachKind) {
  TempDir dir;
  std::filesystem::create_directory(dir / "sub");
  testsupport::WriteFileBytes(dir / "file", "12345");
  testsupport::WriteFileBytes(dir / ".dot", "1");
  std::filesystem::permissions(dir / ".dot", std::filesystem::perms::owner_read);
  std::filesystem::create_directory_symlink("sub", dir / "sublink");
  std::filesystem::create_symlink("file", dir / "filelink");
  std::filesystem::create_symlink("nothing", dir / "dangling");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::SystemDirectoryEnumerator().List(dir.path(), entries));
  std::map<std::string, std::pair<std::uint32_t, std::int64_t>> got;
  for (const auto& e : entries) got[e.name.string()] = {e.attr, e.size};
  const std::map<std::string, std::pair<std::uint32_t, std::int64_t>> expected = {
      {"sub", {0x10, 0}},      {"file", {0x20, 5}},      {".dot", {0x23, 1}},
      {"sublink", {0x410, 0}}, {"filelink", {0x420, 5}},
  };
  EXPECT_EQ(got, expected);
  EXPECT_FALSE(platform::SystemDirectoryEnumerator().List(dir / "missing", entries));
  EXPECT_TRUE(entries.empty());
}

}  // namespace
