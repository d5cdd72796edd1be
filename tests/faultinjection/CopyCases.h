#pragma once
// The copier's cases: one table of named rows, run against the in-process
// fault injector (engine_tests) and against the FUSE disc of velmora-faultfs
// (recovery_tests), each read sector by sector and in runs.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "EventText.h"
#include "FaultInjector.h"
#include "engine/BadFileRestorator.h"

namespace testsupport {

// Which event of the copy the callback answers, and with what: at the
// `occurrence`-th event of `kind` (for fseProgress, counting only failed
// attempts, the events with an empty name, when `onFailedAttempt`).
struct CopyAnswer {
  TFileSaveEventType kind = fseStartList;
  bool onFailedAttempt = false;
  int occurrence = 0;  // 0: never answer
  TFileSaveCancelMode answer = fscNormal;
};

// A callback that gives its answer and records every event as
// "<kind> <src|-|name> <size> <running result after the callback>".
struct Recorder : CopyAnswer {
  std::filesystem::path source;
  std::vector<std::string> events;
  int seen = 0;

  TFileSaveProc Proc() {
    return [this](TFileSaveEventType e, const std::filesystem::path& name, std::int64_t size,
                  TFileSaveCancelMode& mode) {
      const bool failed = e == fseProgress && name.empty();
      if (e == kind && failed == onFailedAttempt && ++seen == occurrence) mode = answer;
      std::string line = KindText(e);
      line += ' ';
      line += name.empty() ? "-" : name == source ? "src" : name.string();
      line += ' ';
      line += std::to_string(size);
      line += ' ';
      line += ModeText(mode);
      events.push_back(std::move(line));
    };
  }
};

struct CopyCase {
  const char* name;
  std::size_t size;  // of the source file
  std::vector<BadSector> bad = {};
  CopyAnswer answer = {};
  // A failed positioning of the source: the in-process injector alone can
  // make one, so the FUSE disc leaves such rows out.
  bool failSeeks = false;
  std::vector<std::string> events = {};
  // The events when read in runs, where they differ: a sector that fails
  // only in the run and reads at once alone shows no failed attempt.
  std::vector<std::string> runEvents = {};
  TFileSaveCancelMode result = fscNormal;
  std::size_t targetSize = 0;
  std::vector<std::int64_t> zeroSectors = {};  // sectors of the target that must be zeros
  std::vector<int> attempts = {};              // read attempts per source sector 0, 1, 2, ...
  // The same when read in runs: a run that fails reads its good sectors a
  // second time, and a bad one is still read three times in all.
  std::vector<int> runAttempts = {};
};

// The two ways every row is read: one request per sector, and runs of up to
// 32 sectors (each file of the table is one run).
struct CopyReadMode {
  const char* name;
  int runSectors;
};

// Failure messages name a row, not its bytes.
inline void PrintTo(const CopyCase& aCase, std::ostream* anOut) { *anOut << aCase.name; }
inline void PrintTo(const CopyReadMode& aMode, std::ostream* anOut) { *anOut << aMode.name; }

const std::vector<CopyCase>& CopyCases();
const std::vector<CopyReadMode>& CopyReadModes();

// Of a bad sector: the failed attempts among `attempts`.
int FailuresOf(const CopyCase& aCase, std::int64_t aSector, int anAttempts);

}  // namespace testsupport
