#include "CopyRun.h"

#include <sstream>

#include "RunProcess.h"
#include "TempDir.h"

namespace isocopy {

namespace {

// A failed read attempt is an fseProgress event with no name; it belongs to
// the block at the bytes written so far.
class AttemptCounter {
 public:
  void Event(TFileSaveEventType event, const std::string& name, std::int64_t size) {
    if (event != fseProgress) return;
    if (name.empty())
      ++failed_[written_];
    else
      written_ += size;
  }
  const std::map<std::int64_t, int>& Failed() const { return failed_; }

 private:
  std::int64_t written_ = 0;
  std::map<std::int64_t, int> failed_;
};

std::string ReadIfThere(const std::filesystem::path& target) {
  return std::filesystem::exists(target) ? testsupport::ReadFileBytes(target) : std::string();
}

}  // namespace

CopyRun SaveWithEvents(const std::filesystem::path& source, const std::filesystem::path& target) {
  AttemptCounter counter;
  CopyRun run;
  run.result = BadFileRestorator::SaveFile(
      source, target,
      [&counter](TFileSaveEventType e, const std::filesystem::path& name, std::int64_t size,
                 TFileSaveCancelMode&) { counter.Event(e, name.string(), size); },
      &run.path);
  run.failedAttempts = counter.Failed();
  run.saved = ReadIfThere(target);
  return run;
}

CliRun RunCliCopy(std::vector<std::string> args, const std::filesystem::path& target) {
  args.insert(args.begin(), {(testsupport::BinDir() / "velmora-cli").string(), "copy"});
  args.insert(args.end(), {target.string(), "--events"});
  const auto r = testsupport::RunProcess(args);
  CliRun run{r.exitCode, r.out, r.err, {}, {}, {}, ReadIfThere(target)};
  AttemptCounter counter;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    run.lines.push_back(line);
    if (line.starts_with("read path\t")) run.readPathLines.push_back(line);
    if (!line.starts_with("fseProgress\t")) continue;
    // fseProgress NAME SIZE MODE, tab-separated; NAME may be empty.
    const auto nameEnd = line.find('\t', 12);
    const auto sizeEnd = line.find('\t', nameEnd + 1);
    counter.Event(fseProgress, line.substr(12, nameEnd - 12),
                  std::stoll(line.substr(nameEnd + 1, sizeEnd - nameEnd - 1)));
  }
  run.failedAttempts = counter.Failed();
  return run;
}

}  // namespace isocopy
