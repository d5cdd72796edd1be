#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "reports/uProgress.h"

namespace {

using Log = std::vector<std::string>;

// Writes each call it receives into a log shared by all listeners of a case.
class RecordingListener final : public IProgress {
 public:
  RecordingListener(std::string aName, Log& aLog) : name(std::move(aName)), log(aLog) {}
  void StartProgress(const std::string& aText, std::int64_t aCount) override {
    Note("Start " + aText + " " + std::to_string(aCount));
  }
  void DoProgress(std::int64_t aPosition) override { Note("Do " + std::to_string(aPosition)); }
  void ShowMessage(const std::string& aText) override { Note("Message " + aText); }
  void ShowError(const std::string& aText) override { Note("Error " + aText); }
  void CloseProgress() override { Note("Close"); }
  bool IsCanceled() override {
    Note("IsCanceled");
    return canceled;
  }

  std::string name;
  Log& log;
  bool canceled = false;
  std::string failOn;  // a call that raises after it is noted
  std::function<void()> onStart;

 private:
  void Note(const std::string& aCall) {
    log.push_back(name + ": " + aCall);
    if (aCall.starts_with("Start") && onStart) onStart();
    if (!failOn.empty() && aCall.starts_with(failOn)) throw std::runtime_error("listener failed");
  }
};

struct Listeners {
  std::shared_ptr<RecordingListener> a, b, c;
};

struct CompositeCase {
  const char* name;
  // Runs on a composite that holds no listener yet.
  std::function<void(TMultiProgress&, Listeners&)> steps;
  Log expected{};
  int level = 0;
};

void PrintTo(const CompositeCase& row, std::ostream* out) { *out << row.name; }

class CompositeTest : public ::testing::TestWithParam<CompositeCase> {};

TEST_P(CompositeTest, FansOutAsTheRulesSay) {
  const CompositeCase& c = GetParam();
  Log log;
  Listeners l{std::make_shared<RecordingListener>("a", log),
              std::make_shared<RecordingListener>("b", log),
              std::make_shared<RecordingListener>("c", log)};
  auto composite = std::make_shared<TMultiProgress>();
  c.steps(*composite, l);
  EXPECT_EQ(log, c.expected);
  EXPECT_EQ(composite->Level(), c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CompositeTest,
    ::testing::Values(CompositeCase{.name = "DuplicateAddKeepsOneEntry",
                                    .steps =
                                        [](TMultiProgress& m, Listeners& l) {
                                          m.Add({l.a, l.b, l.a});
                                          m.Add({l.a});
                                          EXPECT_EQ(m.Count(), 2);
                                          m.StartProgress("Adding files...", 100);
                                        },
                                    .expected = {"a: Start Adding files... 100",
                                                 "b: Start Adding files... 100"},
                                    .level = 1},
                      CompositeCase{.name = "RemoveOfAnAbsentListenerChangesNothing",
                                    .steps =
                                        [](TMultiProgress& m, Listeners& l) {
                                          m.Add({l.a, l.b});
                                          m.Remove({l.c});
                                          m.Remove({l.a});
                                          m.ShowMessage("sending...");
                                          m.DoProgress(5000);
                                        },
                                    .expected = {"b: Message sending...", "b: Do 5000"}},
                      CompositeCase{.name = "WithoutListenersOnlyTheLevelMoves",
                                    .steps =
                                        [](TMultiProgress& m, Listeners&) {
                                          m.StartProgress("outer", 0);
                                          m.StartProgress("inner", 100);
                                          m.CloseProgress();
                                          EXPECT_FALSE(m.IsCanceled());
                                        },
                                    .level = 1},
                      CompositeCase{.name = "TwoClosesAfterOneStartLeaveLevelZero",
                                    .steps =
                                        [](TMultiProgress& m, Listeners& l) {
                                          m.Add({l.a});
                                          m.StartProgress("x", 1);
                                          m.CloseProgress();
                                          m.CloseProgress();
                                        },
                                    .expected = {"a: Start x 1", "a: Close", "a: Close"}},
                      CompositeCase{.name = "FirstCancellingListenerEndsTheQuery",
                                    .steps =
                                        [](TMultiProgress& m, Listeners& l) {
                                          l.b->canceled = true;
                                          m.Add({l.a, l.b, l.c});
                                          EXPECT_TRUE(m.IsCanceled());
                                        },
                                    .expected = {"a: IsCanceled", "b: IsCanceled"}},
                      CompositeCase{.name = "ListenerErrorReachesCallerAndStopsTheFanOut",
                                    .steps =
                                        [](TMultiProgress& m, Listeners& l) {
                                          l.a->failOn = "Error";
                                          m.Add({l.a, l.b});
                                          EXPECT_THROW(m.ShowError("boom"), std::runtime_error);
                                          m.ShowMessage("still usable");
                                        },
                                    .expected = {"a: Error boom", "a: Message still usable",
                                                 "b: Message still usable"}},
                      CompositeCase{.name = "ListenerMayRegisterAnotherFromWithinACall",
                                    .steps =
                                        [](TMultiProgress& m, Listeners& l) {
                                          l.a->onStart = [&m, &l] { m.Add({l.c}); };
                                          m.Add({l.a});
                                          m.StartProgress("x", 1);
                                          l.a->onStart = nullptr;
                                          m.Remove({l.c});
                                          m.CloseProgress();
                                        },
                                    .expected = {"a: Start x 1", "c: Start x 1", "a: Close"}},
                      CompositeCase{.name = "RemoveAllEmptiesTheList",
                                    .steps =
                                        [](TMultiProgress& m, Listeners& l) {
                                          m.Add({l.a, l.b});
                                          m.RemoveAll();
                                          m.StartProgress("x", 1);
                                          EXPECT_EQ(m.Count(), 0);
                                        },
                                    .level = 1}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CompositeLifetime, FreeingSendsEachListenerOneClose) {
  Log log;
  auto a = std::make_shared<RecordingListener>("a", log);
  auto b = std::make_shared<RecordingListener>("b", log);
  {
    std::shared_ptr<IMultiProgress> composite =
        std::make_shared<TMultiProgress>(std::vector<IProgressRef>{a, b});
    composite->StartProgress("x", 1);
    log.clear();
  }
  EXPECT_EQ(log, (Log{"a: Close", "b: Close"}));
  EXPECT_EQ(a.use_count(), 1) << "the composite released its reference";
}

TEST(CompositeLifetime, NullListenerCountsNestedBrackets) {
  TNullProgress progress;
  progress.StartProgress("outer", 0);
  progress.StartProgress("inner", 0);
  progress.CloseProgress();
  EXPECT_EQ(progress.Level(), 1);
  progress.CloseProgress();
  progress.CloseProgress();
  EXPECT_EQ(progress.Level(), 0);
  EXPECT_FALSE(progress.IsCanceled());
}

TEST(CompositeLifetime, GetMultiProgressAlwaysGivesTheSameComposite) {
  Log log;
  auto a = std::make_shared<RecordingListener>("a", log);
  GetMultiProgress()->Add({a});
  GetMultiProgress()->ShowMessage("hello");
  GetMultiProgress()->Remove({a});
  EXPECT_EQ(GetMultiProgress(), GetMultiProgress());
  EXPECT_EQ(log, Log{"a: Message hello"});
}

}  // namespace
