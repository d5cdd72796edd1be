// The system's unbuffered opener and target writer on real files.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>

#include "TempDir.h"
#include "platform/DirectoryList.h"
#include "platform/TargetFile.h"
#include "platform/UnbufferedFile.h"
#include "platform/UnbufferedFileErrors_linux.h"

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
  EXPECT_EQ(file->LastError(), platform::ReadError::Shrunk) << "a regular file that shrank";
}

// Runs: whole requests up to 64 KiB, the partial last sector at the end; a
// file cut short keeps the whole sectors it still has, then fails as shrunk.
TEST(SystemUnbufferedOpener, RunsReadWholeSectorsAndNoticeAShrunkFile) {
  TempDir dir;
  const auto bytes = Pattern(100000);
  testsupport::WriteFileBytes(dir / "f", bytes);
  std::string error;
  auto file = platform::SystemUnbufferedOpener().Open(dir / "f", error);
  ASSERT_TRUE(file) << error;
  ASSERT_EQ(file->MaxRunSize(), platform::RunSize);
  auto run = std::make_unique<platform::AlignedRun>();
  const auto text = [&run](std::int64_t n) {
    return std::string(reinterpret_cast<const char*>(run->bytes), static_cast<std::size_t>(n));
  };
  ASSERT_EQ(file->ReadRun(run->bytes, platform::RunSize), 65536);
  EXPECT_EQ(text(65536), bytes.substr(0, 65536));
  ASSERT_EQ(file->ReadRun(run->bytes, platform::RunSize), 100000 - 65536);
  EXPECT_EQ(text(100000 - 65536), bytes.substr(65536));
  EXPECT_EQ(file->ReadRun(run->bytes, platform::RunSize), 0);

  ASSERT_TRUE(file->Seek(65536));
  std::filesystem::resize_file(dir / "f", 70000);
  EXPECT_EQ(file->ReadRun(run->bytes, platform::RunSize), 4096) << "the two whole sectors left";
  EXPECT_EQ(file->Position(), 65536 + 4096);
  EXPECT_EQ(file->ReadRun(run->bytes, platform::RunSize), -1);
  EXPECT_EQ(file->LastError(), platform::ReadError::Shrunk);
}

// Only an error that says the disc, drive or file system is gone stops the
// copy; a medium error (EIO) and anything unknown are retried.
TEST(SystemReadErrors, GoneOnlyWhenTheMediumOrDeviceWentAway) {
  const std::map<int, platform::ReadError> rows = {
      {EIO, platform::ReadError::Medium},    {EINVAL, platform::ReadError::Medium},
      {EACCES, platform::ReadError::Medium}, {ENOMEDIUM, platform::ReadError::Gone},
      {ENXIO, platform::ReadError::Gone},    {ENODEV, platform::ReadError::Gone},
      {ENOTCONN, platform::ReadError::Gone}, {ESTALE, platform::ReadError::Gone},
      {EBADF, platform::ReadError::Gone},    {ESHUTDOWN, platform::ReadError::Gone},
  };
  for (const auto& [error, kind] : rows)
    EXPECT_EQ(platform::ReadErrorOfErrno(error), kind) << std::strerror(error);
}

// The same file by any path or link has one identity; another file has another.
TEST(SystemUnbufferedOpener, IdentityOfTheFileWhateverThePath) {
  TempDir dir;
  testsupport::WriteFileBytes(dir / "f", "abc");
  testsupport::WriteFileBytes(dir / "g", "abc");
  std::filesystem::create_symlink(dir / "f", dir / "link");
  std::filesystem::create_hard_link(dir / "f", dir / "hard");
  std::string error;
  auto file = platform::SystemUnbufferedOpener().Open(dir / "f", error);
  ASSERT_TRUE(file) << error;
  ASSERT_TRUE(file->Id());
  for (const char* same : {"f", "link", "hard", "./f"})
    EXPECT_EQ(platform::FileIdOf(dir / same), file->Id()) << same;
  EXPECT_NE(platform::FileIdOf(dir / "g"), file->Id());
  EXPECT_FALSE(platform::FileIdOf(dir / "none"));
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

namespace {

// Runs a shell command and returns its standard output (trailing newline cut).
std::string Shell(const std::string& command, int& status) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char chunk[256];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) out.append(chunk, n);
    status = ::pclose(pipe);
  } else {
    status = -1;
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// A file system on a drive with 4096-byte logical sectors cannot read
// 2048-byte sectors with O_DIRECT (EINVAL): such a file is read whole through
// the cache instead. Needs root and a free loop device.
TEST(SystemUnbufferedOpenerOnDevice, FourKiBSectorDriveFallsBackToTheCache) {
  TempDir dir;
  const auto image = dir / "fs.img";
  const auto mountPoint = dir / "mnt";
  std::filesystem::create_directory(mountPoint);
  int status = 0;
  Shell("truncate -s 16M '" + image.string() + "' && mkfs.ext4 -q -b 4096 '" + image.string() +
            "' 2>&1",
        status);
  ASSERT_EQ(status, 0) << "cannot make an ext4 image";
  const auto loop = Shell("losetup -b 4096 --find --show '" + image.string() + "' 2>&1", status);
  ASSERT_EQ(status, 0) << "cannot set up a loop device with 4096-byte sectors: " << loop;
  struct Cleanup {
    std::filesystem::path mountPoint;
    std::string loop;
    bool mounted = false;
    ~Cleanup() {
      if (mounted) ::umount2(mountPoint.c_str(), 0);
      int ignored = 0;
      Shell("losetup -d '" + loop + "' 2>&1", ignored);
    }
  } cleanup{mountPoint, loop};
  ASSERT_EQ(::mount(loop.c_str(), mountPoint.c_str(), "ext4", 0, nullptr), 0)
      << "cannot mount " << loop << ": " << std::strerror(errno);
  cleanup.mounted = true;
  const auto bytes = Pattern(5000);
  testsupport::WriteFileBytes(mountPoint / "f.bin", bytes);
  ::sync();

  std::string error;
  auto file = platform::SystemUnbufferedOpener().Open(mountPoint / "f.bin", error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->Path(), platform::ReadPath::Cache);
  EXPECT_EQ(file->Size(), 5000);
  EXPECT_EQ(ReadAll(*file), bytes);
}

}  // namespace
