#include "DamagedDisc.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "../iso/DiscImages.h"
#include "RunProcess.h"
#include "platform/Iso9660Extents.h"

namespace isocopy {

namespace {

const std::map<std::string, std::size_t>& TreeSizes() {
  static const std::map<std::string, std::size_t> sizes = {
      {"ReadMe.txt", 5000},
      {"Docs/Note.txt", 3000},
      {kMovie, 300 * kSector + 1000},
  };
  return sizes;
}

}  // namespace

const std::vector<BadSector>& MovieBadSectors() {
  static const std::vector<BadSector> sectors = {{150, 0}, {200, 0}, {201, 0}, {250, 2}};
  return sectors;
}

std::string TreeFile(const std::string& relativePath) {
  return isotest::ContentOf(relativePath, TreeSizes().at(relativePath));
}

void WriteTree(const std::filesystem::path& root) {
  for (const auto& [path, size] : TreeSizes()) {
    std::filesystem::create_directories((root / path).parent_path());
    testsupport::WriteFileBytes(root / path, isotest::ContentOf(path, size));
  }
}

void MakeImage(const std::filesystem::path& tree, const std::filesystem::path& image) {
  const auto r = testsupport::RunProcess(
      {"genisoimage", "-quiet", "-R", "-J", "-o", image.string(), tree.string()});
  if (r.exitCode != 0)
    throw std::runtime_error("genisoimage cannot make " + image.string() + " (exit " +
                             std::to_string(r.exitCode) + "): " + r.err);
  if (std::filesystem::file_size(image) % kSector != 0)
    throw std::runtime_error(image.string() + " is not a whole number of sectors");
}

std::int64_t MovieOffsetInImage(const std::filesystem::path& image) {
  std::string why;
  const auto extents =
      platform::FindIsoFileExtents(image, std::string("/") + kMovie, platform::IsoNaming{}, why);
  if (!extents)
    throw std::runtime_error("the movie is not found in " + image.string() + ": " + why);
  if (extents->extents.size() != 1)
    throw std::runtime_error("the movie has " + std::to_string(extents->extents.size()) +
                             " extents, not one");
  return extents->extents[0].offset;
}

std::string MovieFaults(const std::string& path, std::int64_t base) {
  std::string faults =
      "# the movie's bad sectors, its first byte at " + std::to_string(base) + "\n";
  for (const auto& bad : MovieBadSectors()) {
    const auto start = base + bad.sector * kSector;
    faults +=
        "bad \"" + path + "\" " + std::to_string(start) + " " + std::to_string(start + kSector);
    if (bad.failures > 0) faults += " " + std::to_string(bad.failures);
    faults += "\n";
  }
  return faults;
}

std::string SavedMovie() {
  auto bytes = TreeFile(kMovie);
  for (const auto& bad : MovieBadSectors())
    if (bad.failures == 0)
      bytes.replace(static_cast<std::size_t>(bad.sector * kSector), kSector, kSector, '\0');
  return bytes;
}

std::map<std::int64_t, int> ExpectedFailedAttempts() {
  std::map<std::int64_t, int> attempts;
  for (const auto& bad : MovieBadSectors())
    attempts[bad.sector * kSector] = bad.failures == 0 ? 3 : bad.failures;
  return attempts;
}

namespace {

void ExpectRunShapes(const std::vector<testsupport::ReadRequest>& requests,
                     const std::map<std::uint64_t, const BadSector*>& badAt,
                     const std::string& path, std::int64_t base) {
  const auto first = static_cast<std::uint64_t>(base);
  const auto movieSize = static_cast<std::uint64_t>(TreeFile(kMovie).size());
  const auto sectors = (movieSize + kSector - 1) / kSector;
  std::vector<int> reads(sectors);
  std::uint64_t fullRuns = 0;
  for (const auto& r : requests) {
    if (r.path != path) continue;
    if (r.offset >= first + movieSize || r.offset + r.size <= first) continue;
    EXPECT_TRUE((r.offset - first) % kSector == 0 && r.size % kSector == 0 && r.size <= 65536)
        << "request " << r.offset << "+" << r.size << " is not whole sectors up to 64 KiB";
    bool touchesBad = false;
    for (auto at = r.offset; at < r.offset + r.size; at += kSector) {
      touchesBad |= badAt.count(at) > 0;
      const auto s = (at - first) / kSector;
      if (s < sectors) ++reads[s];
    }
    if (r.result < 0) {
      EXPECT_TRUE(touchesBad) << "failed request " << r.offset << "+" << r.size;
    }
    if (r.size == 65536 && r.result >= 0) ++fullRuns;
  }
  for (std::uint64_t s = 0; s < sectors; ++s) {
    if (!badAt.count(first + s * kSector)) {
      EXPECT_LE(reads[s], 2) << "good sector " << s << " of the movie";
    }
  }
  // The first 128 sectors, before the first damage at 150, are four runs.
  EXPECT_GE(fullRuns, 4u) << "runs of 64 KiB";
}

}  // namespace

std::size_t ExpectOnlyBadSectorsFailed(const testsupport::FaultDisc& disc, const std::string& path,
                                       std::int64_t base, ReadShape shape) {
  std::map<std::uint64_t, const BadSector*> badAt;  // by byte offset in `path`
  for (const auto& bad : MovieBadSectors()) {
    const auto start = static_cast<std::uint64_t>(base + bad.sector * kSector);
    badAt[start] = &bad;
    const auto counted = disc.attempts(path, start, start + kSector);
    const std::uint64_t failures =
        bad.failures == 0 ? 3u : static_cast<std::uint64_t>(bad.failures);
    EXPECT_EQ(counted.attempts, bad.failures == 0 ? 3u : failures + 1) << "sector " << bad.sector;
    EXPECT_EQ(counted.failures, failures) << "sector " << bad.sector;
  }
  const auto requests = disc.requests();
  EXPECT_FALSE(requests.empty()) << "velmora-faultfs traced no read";
  if (shape == ReadShape::Runs) {
    ExpectRunShapes(requests, badAt, path, base);
    return requests.size();
  }
  const auto movieSize = static_cast<std::uint64_t>(TreeFile(kMovie).size());
  // Each sector of the movie read once, a bad one once per attempt.
  std::uint64_t expectedMovieRequests = (movieSize + kSector - 1) / kSector;
  for (const auto& bad : MovieBadSectors())
    expectedMovieRequests += bad.failures == 0 ? 2 : bad.failures;
  std::uint64_t movieRequests = 0;
  for (const auto& r : requests) {
    const bool failed = r.result < 0;
    if (r.path != path) {
      EXPECT_FALSE(failed) << "a read of " << r.path << " failed";
      continue;
    }
    const auto first = static_cast<std::uint64_t>(base);
    if (r.offset < first + movieSize && r.offset + r.size > first) {
      // The copier's 2048-byte reads arrive one by one, not merged or read ahead.
      ++movieRequests;
      EXPECT_TRUE(r.size == kSector && (r.offset - first) % kSector == 0)
          << "request " << r.offset << "+" << r.size << " is not one sector of the movie";
    }
    // The bad sectors this request touched, if any.
    auto it = badAt.upper_bound(r.offset);
    const bool startsInBad = it != badAt.begin() && std::prev(it)->first + kSector > r.offset;
    const bool reachesBad = it != badAt.end() && it->first < r.offset + r.size;
    if (startsInBad || reachesBad || failed) {
      EXPECT_TRUE(badAt.count(r.offset) && r.size == kSector)
          << (failed ? "failed" : "succeeded") << " request " << r.offset << "+" << r.size
          << " is not exactly one bad sector: a good neighbour was read with it";
    }
  }
  EXPECT_EQ(movieRequests, expectedMovieRequests) << "reads of the movie's sectors";
  return requests.size();
}

RamFolder::RamFolder() : path_(std::filesystem::canonical(dir_.path()) / "ramfs") {
  std::filesystem::create_directory(path_);
  if (::mount("velmora-ramfs", path_.c_str(), "ramfs", 0, "mode=0755") != 0)
    throw std::runtime_error("cannot mount a ramfs at " + path_.string() + ": " +
                             std::strerror(errno));
}

RamFolder::~RamFolder() {
  if (::umount2(path_.c_str(), 0) != 0) ::umount2(path_.c_str(), MNT_DETACH);
}

std::filesystem::path WriteMountTable(const std::filesystem::path& at,
                                      const std::filesystem::path& folder,
                                      const std::filesystem::path& device) {
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
    throw std::runtime_error(device.string() + " is not a block device");
  std::ofstream(at) << "22 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
                    << "36 22 " << major(st.st_rdev) << ":" << minor(st.st_rdev) << " / "
                    << folder.string() << " ro,relatime - iso9660 " << device.string()
                    << " ro,nojoliet,check=s,map=n,blocksize=2048\n";
  return at;
}

}  // namespace isocopy
