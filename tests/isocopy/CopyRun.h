#pragma once
// One copy of the copy tests, by the copier in this process or by
// velmora-cli, and what its events showed.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/BadFileRestorator.h"

namespace isocopy {

struct CopyRun {
  TFileSaveCancelMode result = fscError;
  platform::ReadPath path{};
  std::map<std::int64_t, int> failedAttempts;  // by the source offset of the block tried
  std::string saved;                           // the target's bytes
};

// BadFileRestorator::SaveFile with the opener in place.
CopyRun SaveWithEvents(const std::filesystem::path& source, const std::filesystem::path& target);

struct CliRun {
  int exitCode = -1;
  std::string out, err;
  std::vector<std::string> lines;              // of out
  std::map<std::int64_t, int> failedAttempts;  // from the events, as above
  std::vector<std::string> readPathLines;      // "read path\t..." lines
  std::string saved;                           // the target's bytes, when it exists
};

// velmora-cli copy ARGS... TARGET --events.
CliRun RunCliCopy(std::vector<std::string> args, const std::filesystem::path& target);

}  // namespace isocopy
