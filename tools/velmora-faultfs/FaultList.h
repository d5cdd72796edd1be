#pragma once
// The fault list of velmora-faultfs: which byte ranges of which files fail
// their reads, which entries cannot be listed or opened, and how often each
// bad range has been read. Owned by FaultFs for the life of the mount.

#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace faultfs {

inline constexpr std::uint64_t FailAlways = std::numeric_limits<std::uint64_t>::max();

// "bad PATH START END [TIMES]": reads touching [start, end) fail.
struct BadRange {
  std::string path;  // as seen in the mount: "/dir/file", no trailing '/'
  std::uint64_t start = 0;
  std::uint64_t end = 0;                 // exclusive; start < end
  std::uint64_t failTimes = FailAlways;  // attempts 1..failTimes fail, later ones succeed
  std::uint64_t attempts = 0;            // read requests that touched the range
  std::uint64_t failures = 0;            // of those, the ones this range failed

  bool Touches(std::uint64_t from, std::uint64_t to) const { return start < to && from < end; }
  // Counts one attempt and says whether it fails.
  bool Attempt();
};

// "unreadable PATH [EIO|EACCES]": the entry cannot be listed (a folder) or
// opened (a file), and nothing beneath a folder can be looked up.
struct Unreadable {
  std::string path;
  int error = 0;  // positive errno
};

struct FaultList {
  std::vector<BadRange> bad;  // never resized after parsing: open files point into it
  std::vector<Unreadable> unreadable;

  // The errno for an operation on `path` itself (opendir, open), or 0.
  int ErrorFor(std::string_view path) const;
  // The errno for looking up `path` below an unreadable folder, or 0.
  int LookupErrorFor(std::string_view path) const;
  // The bad ranges of one file, or empty.
  std::vector<BadRange*> RangesOf(std::string_view path);
};

// Reads the fault list's text; throws std::runtime_error naming the line on
// a syntax error, and when an entry names nothing under `source`.
FaultList ParseFaultList(std::string_view text, const std::filesystem::path& source);

// The stats file's text: a legend, a "range" line per bad range, the total.
std::string FormatStats(const FaultList& faults, std::uint64_t readRequests);

// A path as a token of the fault list or stats: bare when it has no blank,
// quote or backslash, else in double quotes with \" and \\ escaped.
std::string QuotePath(std::string_view path);

}  // namespace faultfs
