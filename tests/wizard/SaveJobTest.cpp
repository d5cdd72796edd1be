// The save job against a reader whose failed reads block, as a drive does
// while it retries a bad sector: the window's thread goes on handling events
// during the read, a Skip or Cancel pressed meanwhile takes effect at the
// copier's next event, and the job's restore log, copier events and error
// log are those of the same run on the window's thread.

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "FaultInjector.h"
#include "TempDir.h"
#include "diagnostics/uMAVLogFile.h"
#include "wizard/RestoreRun.h"
#include "wizard/SaveJob.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::int64_t kSector = 2048;

// Everything the window's side sees, in order, as one line per call.
class TraceView : public IRestoreView {
 public:
  void Insert(const std::string& text, TRgb colour) override {
    trace.push_back("insert " + text + " " + std::to_string(colour.r) + "," +
                    std::to_string(colour.g) + "," + std::to_string(colour.b));
  }
  void LineDone() override { trace.push_back("line done"); }
  void FileStarting(const TCustomFile& entry) override {
    trace.push_back("starting " + entry.Name().string());
  }
  TOverwriteAnswer AskOverwrite(const std::string& question) override {
    trace.push_back("ask " + question);
    return oaYes;
  }
  // Progress events in a row are summed: the job sends them summed.
  void Event(TFileSaveEventType e, const fs::path& name, std::int64_t size) {
    if (e == fseProgress) {
      if (!trace.empty() && trace.back().starts_with("progress "))
        size += std::stoll(trace.back().substr(9));
      else
        trace.emplace_back();
      trace.back() = "progress " + std::to_string(size);
      return;
    }
    trace.push_back("event " + std::to_string(e) + " " + name.string() + " " +
                    std::to_string(size));
  }
  std::vector<std::string> trace;
};

// A disc folder of three files (scanned into the model as the wizard does)
// whose reads go through a fault injector; a.bin has the bad sectors.
class Disc {
 public:
  Disc(const fs::path& at, std::chrono::milliseconds delay, std::vector<testsupport::BadSector> bad)
      : root(at) {
    fs::create_directories(root);
    for (const auto& [name, size] : std::vector<std::pair<const char*, std::int64_t>>{
             {"a.bin", 12 * kSector}, {"b.bin", 3 * kSector + 7}, {"c.bin", 100}}) {
      testsupport::WriteFileBytes(root / name, std::string(static_cast<std::size_t>(size), 'q'));
      injector.AddDiskFile(
          root / name, root / name,
          name == std::string("a.bin") ? bad : std::vector<testsupport::BadSector>{});
    }
    injector.DelayFailures(root / "a.bin", delay);
    model.SetName(root);
    model.SetAttr(faVolumeId);
    model.Scan(root, true);
  }
  void ListAll(TCustomFileList& list) {
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
      for (int i = 0; i < model.Count(); ++i)
        if (model.Files(i)->Name() == name) list.Add(model.Files(i));
  }
  fs::path A() const { return root / "a.bin"; }

  fs::path root;
  testsupport::FaultInjector injector;
  TCustomDir model;
};

class SaveJob : public ::testing::Test {
 protected:
  std::string ErrLog() const {
    return fs::exists(errorLog.FileName()) ? testsupport::ReadFileBytes(errorLog.FileName()) : "";
  }
  // Starts the job over the disc; `done` turns true on the window's thread.
  std::unique_ptr<TSaveJob> Start(Disc& disc, TraceView& view, const fs::path& target) {
    auto job = std::make_unique<TSaveJob>(
        TSaveJobSetup{.TargetDir = target,
                      .ErrorLog = &errorLog,
                      .Io = {.Opener = &disc.injector, .RunSectors = 32}},
        view,
        [&view](TFileSaveEventType e, const fs::path& n, std::int64_t s) { view.Event(e, n, s); });
    disc.ListAll(job->List());
    done = false;
    job->OnFinished = [this](std::exception_ptr) { done = true; };
    job->Start();
    return job;
  }
  void WaitUntilBlocked(const Disc& disc) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return disc.injector.Blocking(disc.A()) > 0; }, 10000));
  }

  testsupport::TempDir dir;
  TMAVLogFile errorLog{dir.path() / "Err.log"};
  bool done = false;
};

TEST_F(SaveJob, TheWindowsThreadAnswersWhileAReadBlocks) {
  Disc disc(dir.path() / "disc", 1500ms, {{.sector = 5, .failures = 1}});
  TraceView view;
  auto job = Start(disc, view, dir.path() / "target");
  WaitUntilBlocked(disc);
  QElapsedTimer clock;
  clock.start();
  qint64 handledAfter = -1;
  bool stillBlocked = false;
  QTimer::singleShot(0, qApp, [&] {
    handledAfter = clock.elapsed();
    stillBlocked = disc.injector.Blocking(disc.A()) > 0;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return handledAfter >= 0; }, 10000));
  EXPECT_LT(handledAfter, 100) << "an event posted to the window's thread during the read";
  EXPECT_TRUE(stillBlocked) << "handled while the read still blocked";
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 30000));
  EXPECT_TRUE(testsupport::ReadFileBytes(dir.path() / "target" / "a.bin") ==
              std::string(12 * kSector, 'q'))
      << "the sector read on its second attempt";
}

struct PressCase {
  const char* name;
  bool skip;
  std::vector<std::string> lines;  // the outcome words of a, b, c as far as the run went
  int bOpens;
};

class PressDuringARead : public SaveJob, public ::testing::WithParamInterface<PressCase> {};

TEST_P(PressDuringARead, TakesEffectAtTheCopiersNextEvent) {
  Disc disc(dir.path() / "disc", 700ms, {{.sector = 5}});  // always bad
  TraceView view;
  auto job = Start(disc, view, dir.path() / "target");
  WaitUntilBlocked(disc);
  if (GetParam().skip)
    job->Request()->Skip();
  else
    job->Request()->Cancel();
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 30000));
  // The read in progress was the run over sector 5; the failed-read event
  // after it took the press, so no further read touched the sector.
  EXPECT_EQ(disc.injector.Attempts(disc.A(), 5), 1);
  std::vector<std::string> words;
  for (const auto& t : view.trace)
    for (const char* w : {SavedWord, SkippedWord, CanceledWord})
      if (t.starts_with(std::string("insert ") + w + " ")) words.push_back(w);
  EXPECT_EQ(words, GetParam().lines);
  EXPECT_EQ(disc.injector.Opens(disc.root / "b.bin"), GetParam().bOpens);
  const std::string word = GetParam().skip ? SkippedWord : CanceledWord;
  EXPECT_NE(ErrLog().find("  File \"a.bin\" is " + word + ".\r\n"), std::string::npos) << ErrLog();
}

INSTANTIATE_TEST_SUITE_P(
    Table, PressDuringARead,
    ::testing::Values(
        PressCase{
            .name = "Skip", .skip = true, .lines = {"skipped", "saved", "saved"}, .bOpens = 1},
        PressCase{.name = "Cancel", .skip = false, .lines = {"canceled"}, .bOpens = 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The run on the window's thread, as it ran before it became a job.
std::vector<std::string> RunInPlace(Disc& disc, TMAVLogFile& log, const fs::path& target) {
  TraceView view;
  TCustomFileList list;
  disc.ListAll(list);
  TRestoreRun run(view, log,
                  [&view](TFileSaveEventType e, const fs::path& n, std::int64_t s,
                          TFileSaveCancelMode&) { view.Event(e, n, s); },
                  target, {.Opener = &disc.injector, .RunSectors = 32});
  run.Run(list);
  return view.trace;
}

TEST_F(SaveJob, LogEventsAndErrorLogAreThoseOfTheRunInPlace) {
  Disc inPlace(dir.path() / "disc", 0ms, {{.sector = 2}, {.sector = 9, .failures = 2}});
  TMAVLogFile inPlaceLog(dir.path() / "InPlace.log");
  fs::create_directories(dir.path() / "t1");
  testsupport::WriteFileBytes(dir.path() / "t1" / "c.bin", "old");  // an overwrite question
  const auto expected = RunInPlace(inPlace, inPlaceLog, dir.path() / "t1");

  Disc disc(dir.path() / "disc", 0ms, {{.sector = 2}, {.sector = 9, .failures = 2}});
  fs::create_directories(dir.path() / "t2");
  testsupport::WriteFileBytes(dir.path() / "t2" / "c.bin", "old");
  TraceView view;
  auto job = Start(disc, view, dir.path() / "t2");
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 30000));
  EXPECT_EQ(view.trace, expected);
  EXPECT_GT(expected.size(), 20u);
  for (const char* f : {"a.bin", "b.bin", "c.bin"})
    EXPECT_TRUE(testsupport::ReadFileBytes(dir.path() / "t2" / f) ==
                testsupport::ReadFileBytes(dir.path() / "t1" / f))
        << f;
}

}  // namespace
