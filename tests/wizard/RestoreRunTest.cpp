// The save run without a window: the name column, the outcome words and
// colours of the restore log, the overwrite answers, Skip and Cancel from the
// progress callback, an error in one file that leaves the others saved, an
// empty folder recreated, and the error log's lines; the trail an escaped
// error leaves in the error log.

#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ForkedSteps.h"
#include "ScopedMount.h"
#include "TempDir.h"
#include "diagnostics/uMAVCallStack.h"
#include "diagnostics/uMAVLogFile.h"
#include "platform/EscapeForDisplay.h"
#include "platform/TargetFile.h"
#include "wizard/ErrorTrail.h"
#include "wizard/RestoreRun.h"
#include "wizard/SaveJob.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  testsupport::WriteFileBytes(path, bytes);
}

struct ShortenCase {
  const char* name;
  std::string text;
  std::string shown;  // the name column without " : "
};

class Shorten : public ::testing::TestWithParam<ShortenCase> {};

TEST_P(Shorten, TheNameColumn) { EXPECT_EQ(NameField(GetParam().text), GetParam().shown + " : "); }

const std::string k60 =
    "abcdefghijklmnopqrstuvw" + std::string(14, '-') + "ABCDEFGHIJKLMNOPQRSTUVW";

INSTANTIATE_TEST_SUITE_P(
    Table, Shorten,
    ::testing::Values(
        ShortenCase{.name = "SixtyKeepFirstAndLast23AndOneBlankOfFill",
                    .text = k60,
                    .shown = "abcdefghijklmnopqrstuvw...ABCDEFGHIJKLMNOPQRSTUVW "},
        ShortenCase{.name = "ExactlyFiftyShownWhole",
                    .text = std::string(50, 'f'),
                    .shown = std::string(50, 'f')},
        ShortenCase{.name = "FiftyOneShortened",
                    .text = std::string(25, 'a') + "X" + std::string(25, 'b'),
                    .shown = std::string(23, 'a') + "..." + std::string(23, 'b') + " "},
        ShortenCase{.name = "ShortFilledTo50",
                    .text = "a/y.txt",
                    .shown = "a/y.txt" + std::string(43, ' ')},
        ShortenCase{.name = "NonAsciiCountsCharacters",
                    .text = "é" + std::string(58, 'x') + "ü",
                    .shown = "é" + std::string(22, 'x') + "..." + std::string(22, 'x') + "ü "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShortenName, SixtyGiveFortyNineCharacters) {
  EXPECT_EQ(ShortenName(k60, 50).size(), 49u);
  EXPECT_EQ(ShortenName(std::string(50, 'x'), 50), std::string(50, 'x'));
}

TEST(DamageNote, SaysHowManySectorsWereFilled) {
  EXPECT_EQ(DamageNote(0), "");
  EXPECT_EQ(DamageNote(1), " (1 unreadable sector filled with zeros)");
  EXPECT_EQ(DamageNote(3), " (3 unreadable sectors filled with zeros)");
}

struct Piece {
  std::string text;
  TRgb colour;
  friend bool operator==(const Piece&, const Piece&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Piece& p) {
    return os << "'" << p.text << "' (" << int(p.colour.r) << "," << int(p.colour.g) << ","
              << int(p.colour.b) << ")";
  }
};

class FakeView : public IRestoreView {
 public:
  void Insert(const std::string& text, TRgb colour) override {
    if (!text.empty()) pieces.push_back({text, colour});
  }
  void LineDone() override {}
  void FileStarting(const TCustomFile&) override {}
  TOverwriteAnswer AskOverwrite(const std::string& question) override {
    questions.push_back(question);
    return answers.at(questions.size() - 1);
  }
  std::string Text() const {
    std::string t;
    for (const auto& p : pieces) t += p.text;
    return t;
  }
  std::vector<Piece> pieces;
  std::vector<std::string> questions;
  std::vector<TOverwriteAnswer> answers;
};

// A disc folder with a/b/x.txt, a/y.txt, z.txt and an empty folder e,
// scanned into a model as the wizard does.
class Run : public ::testing::Test {
 protected:
  Run() {
    fs::create_directories(disc / "a" / "b");
    fs::create_directories(disc / "e");
    testsupport::WriteFileBytes(disc / "a" / "b" / "x.txt", std::string(5000, 'x'));
    testsupport::WriteFileBytes(disc / "a" / "y.txt", "yy");
    testsupport::WriteFileBytes(disc / "z.txt", "z");
    root.SetName(disc);
    root.SetAttr(faVolumeId);
    root.Scan(disc, true);
    errorLog.SetFileName(dir.path() / "Err.log");
  }
  TCustomFile* Entry(const fs::path& relative) {
    TCustomDir* at = &root;
    for (const auto& part : relative) {
      TCustomFile* found = nullptr;
      for (int i = 0; i < at->Count(); ++i)
        if (at->Files(i)->Name() == part) found = at->Files(i);
      if (!found) return nullptr;
      if (auto* d = dynamic_cast<TCustomDir*>(found))
        at = d;
      else
        return found;
    }
    return at;
  }
  void RunOver(const std::vector<fs::path>& names, TFileSaveProc progress = {}) {
    if (throughJob) {
      RunJobOver(names);
      return;
    }
    TCustomFileList list;
    for (const auto& n : names) list.Add(Entry(n));
    TRestoreRun run(view, errorLog, std::move(progress), target);
    run.Run(list);
  }
  // The same run as a job on its worker thread; the view is the window's side.
  void RunJobOver(const std::vector<fs::path>& names) {
    TSaveJob job({.TargetDir = target, .ErrorLog = &errorLog}, view,
                 [](TFileSaveEventType, const fs::path&, std::int64_t) {});
    for (const auto& n : names) job.List().Add(Entry(n));
    bool done = false;
    job.OnFinished = [&](std::exception_ptr) { done = true; };
    job.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 30000));
  }
  std::string ErrLog() const {
    std::ifstream in(dir.path() / "Err.log", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static std::string Line(const std::string& name, const char* word) {
    return NameField(name) + word + "\n";
  }

  testsupport::TempDir dir;
  fs::path disc = dir.path() / "disc";
  fs::path target = dir.path() / "target";
  TCustomDir root;
  TMAVLogFile errorLog{""};
  FakeView view;
  bool throughJob = false;
};

TEST_F(Run, SavesUnderTheRelativePathsInColour) {
  RunOver({"a/b/x.txt", "a/y.txt", "e"});
  EXPECT_EQ(testsupport::ReadFileBytes(target / "a" / "b" / "x.txt"), std::string(5000, 'x'));
  EXPECT_EQ(testsupport::ReadFileBytes(target / "a" / "y.txt"), "yy");
  EXPECT_TRUE(fs::is_directory(target / "e")) << "an empty folder is made again, as a folder";
  EXPECT_EQ(view.Text(),
            Line("a/b/x.txt", "saved") + Line("a/y.txt", "saved") + Line("e", "saved"));
  ASSERT_GE(view.pieces.size(), 3u);
  EXPECT_EQ(view.pieces[0], (Piece{NameField("a/b/x.txt"), NameColour}));
  EXPECT_EQ(view.pieces[1], (Piece{"saved", SavedColour}));
  EXPECT_EQ(view.pieces[2], (Piece{"\n", SavedColour}));
  EXPECT_EQ(ErrLog(), "") << "nothing to report";
}

struct AnswerCase {
  const char* name;
  std::vector<TOverwriteAnswer> answers;
  int asked;
  const char* firstWord;
  const char* secondWord;
  bool replaced[2];
};

class Overwrite : public Run, public ::testing::WithParamInterface<AnswerCase> {
 protected:
  void ExistingTargetsFollowTheAnswers();
};

// The same answers through the save job: the question goes to the window's
// thread while the job waits, and the log is the same.
class OverwriteThroughJob : public Overwrite {
 protected:
  OverwriteThroughJob() { throughJob = true; }
};

TEST_P(Overwrite, ExistingTargetsFollowTheAnswers) { ExistingTargetsFollowTheAnswers(); }
TEST_P(OverwriteThroughJob, ExistingTargetsFollowTheAnswers) { ExistingTargetsFollowTheAnswers(); }

void Overwrite::ExistingTargetsFollowTheAnswers() {
  Write(target / "a" / "b" / "x.txt", "old");
  Write(target / "a" / "y.txt", "old");
  view.answers = GetParam().answers;
  RunOver({"a/b/x.txt", "a/y.txt"});
  EXPECT_EQ(static_cast<int>(view.questions.size()), GetParam().asked);
  EXPECT_EQ(view.Text(),
            Line("a/b/x.txt", GetParam().firstWord) + Line("a/y.txt", GetParam().secondWord));
  EXPECT_EQ(testsupport::ReadFileBytes(target / "a" / "b" / "x.txt") != "old",
            GetParam().replaced[0]);
  EXPECT_EQ(testsupport::ReadFileBytes(target / "a" / "y.txt") != "old", GetParam().replaced[1]);
  EXPECT_EQ(ErrLog(), "") << "a kept file is no error";
  EXPECT_EQ(view.questions.at(0), OverwriteQuestion("x.txt"));
}

const auto kAnswers = ::testing::Values(
    AnswerCase{"YesToAll", {oaYesToAll}, 1, "saved", "saved", {true, true}},
    AnswerCase{"NoToAll", {oaNoToAll}, 1, "already exists", "already exists", {false, false}},
    AnswerCase{"NoThenYes", {oaNo, oaYes}, 2, "already exists", "saved", {false, true}},
    AnswerCase{"ClosedThenYes", {oaCancel, oaYes}, 2, "already exists", "saved", {false, true}});
const auto kAnswerName = [](const auto& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Answers, Overwrite, kAnswers, kAnswerName);
INSTANTIATE_TEST_SUITE_P(Answers, OverwriteThroughJob, kAnswers, kAnswerName);

TEST_F(Run, AlreadyExistsIsMaroon) {
  Write(target / "z.txt", "old");
  view.answers = {oaNo};
  RunOver({"z.txt"});
  ASSERT_EQ(view.pieces.size(), 3u);
  EXPECT_EQ(view.pieces[1], (Piece{"already exists", ExistsColour}));
}

// Asks for a skip or cancel at the given file's start event.
TFileSaveProc RequestAt(const std::string& fileName, TFileSaveCancelMode request) {
  return [=](TFileSaveEventType e, const fs::path& name, std::int64_t, TFileSaveCancelMode& mode) {
    if (e == fseStartFile && name.filename() == fileName) mode = request;
  };
}

TEST_F(Run, SkipEndsTheFileAndTheRunGoesOn) {
  RunOver({"a/b/x.txt", "a/y.txt", "z.txt"}, RequestAt("y.txt", fscSkip));
  EXPECT_EQ(view.Text(),
            Line("a/b/x.txt", "saved") + Line("a/y.txt", "skipped") + Line("z.txt", "saved"));
  EXPECT_NE(ErrLog().find("  File \"y.txt\" is skipped.\r\n"), std::string::npos) << ErrLog();
}

TEST_F(Run, CancelDuringTheSecondOfThreeEndsTheRun) {
  RunOver({"a/b/x.txt", "a/y.txt", "z.txt"}, RequestAt("y.txt", fscCancel));
  EXPECT_EQ(view.Text(), Line("a/b/x.txt", "saved") + Line("a/y.txt", "canceled"));
  EXPECT_FALSE(fs::exists(target / "z.txt"));
  EXPECT_NE(ErrLog().find("  File \"y.txt\" is canceled.\r\n"), std::string::npos) << ErrLog();
  EXPECT_EQ(view.pieces[4], (Piece{"canceled", ErrorColour}));
}

TEST_F(Run, AFolderThatCannotBeMadeFailsThatFileAlone) {
  Write(target / "a", "a file where the folder should be");
  RunOver({"a/b/x.txt", "a/y.txt", "z.txt"});
  EXPECT_EQ(view.Text(), Line("a/b/x.txt", "not saved. Error is occured.") +
                             Line("a/y.txt", "not saved. Error is occured.") +
                             Line("z.txt", "saved"));
  EXPECT_NE(ErrLog().find("File \"x.txt\" is not saved. Error is occured.."), std::string::npos);
  EXPECT_NE(ErrLog().find("File \"y.txt\" is not saved. Error is occured.."), std::string::npos);
  EXPECT_EQ(CallStack().Count(), 0) << "each file's frame is popped also after its error";
}

TEST_F(Run, ANameTooLongForTheTargetFailsThatFileAlone) {
  const std::string longName(300, 'n');
  testsupport::WriteFileBytes(disc / "z.txt", "z");
  auto* entry = new TCustomFile(&root);
  entry->SetName(longName);  // as a disc might name it; no file system here holds it
  entry->SetSize(1);
  TCustomFileList list;
  list.Add(entry);
  list.Add(Entry("z.txt"));
  TRestoreRun run(view, errorLog, {}, target);
  run.Run(list);
  EXPECT_EQ(view.Text(), Line(longName, "not saved. Error is occured.") + Line("z.txt", "saved"));
}

// A target folder on a read-only file system: every file fails, and the
// error log says why after the usual words.
TEST_F(Run, AReadOnlyTargetPutsTheSystemsReasonInTheErrorLog) {
  fs::create_directories(target);
  testsupport::ScopedMount ro({"-t", "tmpfs", "-o", "ro,size=64k", "tmpfs"}, target);
  ASSERT_TRUE(ro.mounted()) << ro.error();
  RunOver({"z.txt", "a/y.txt"});
  EXPECT_EQ(view.Text(), Line("z.txt", "not saved. Error is occured.") +
                             Line("a/y.txt", "not saved. Error is occured."));
  const std::string log = ErrLog();
  EXPECT_NE(log.find("  File \"z.txt\" is not saved. Error is occured.. Reason: cannot create \"" +
                     (target / "z.txt").string() + "\": Read-only file system\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("  File \"y.txt\" is not saved. Error is occured.. Reason: Cannot create \"" +
                     (target / "a").string() + "/\" directory: Read-only file system\r\n"),
            std::string::npos)
      << log;
}

// Another program is writing the target (a second wizard that answered
// "Yes to All"): this run leaves it alone and says why; the file holds the
// other program's bytes only.
TEST_F(Run, ATargetAnotherProgramIsWritingIsNotSavedAndLeftAlone) {
  const std::string theirs = "the other disc's bytes";
  std::unique_ptr<platform::ITargetFile> held;
  testsupport::ForkedSteps other(
      [&] {
        std::string error;
        fs::create_directories(target);
        held = platform::SystemTargetCreator().Create(target / "z.txt", error);
        if (!held) throw std::runtime_error(error);
        held->Write(reinterpret_cast<const std::byte*>(theirs.data()), theirs.size());
      },
      [&] { held.reset(); });
  ASSERT_TRUE(other.FirstDone());
  view.answers = {oaYesToAll};
  RunOver({"z.txt"});
  EXPECT_EQ(view.Text(), Line("z.txt", "not saved. Error is occured."));
  EXPECT_NE(ErrLog().find("  File \"z.txt\" is not saved. Error is occured.. Reason: cannot "
                          "create \"" +
                          (target / "z.txt").string() + "\": " + platform::TargetBusyText + "\r\n"),
            std::string::npos)
      << ErrLog();
  ASSERT_EQ(other.Finish(), 0);
  EXPECT_EQ(testsupport::ReadFileBytes(target / "z.txt"), theirs);
}

// A file of the disc over a folder of the target: not asked, not saved, the
// folder and its contents kept, the reason in the error log.
TEST_F(Run, AFileOverAFolderOfTheSameNameIsNotSavedAndNotAsked) {
  Write(target / "z.txt" / "kept.txt", "kept");
  RunOver({"z.txt", "a/y.txt"});
  EXPECT_TRUE(view.questions.empty());
  EXPECT_EQ(view.Text(), Line("z.txt", "not saved. Error is occured.") + Line("a/y.txt", "saved"));
  EXPECT_EQ(testsupport::ReadFileBytes(target / "z.txt" / "kept.txt"), "kept");
  EXPECT_NE(ErrLog().find("File \"z.txt\" is not saved. Error is occured.. Reason: a folder of "
                          "this name is in the target folder.\r\n"),
            std::string::npos)
      << ErrLog();
}

// The system's reason quotes the target path, which holds the name as the
// disc does: the error log's line stays one line all the same.
TEST_F(Run, AReasonQuotingAHostileNameStaysOnOneLine) {
  const std::string name = "new\nline.txt";
  Write(disc / name, "bytes");
  root.Clear();
  root.Scan(disc, true);
  fs::create_directories(target);
  testsupport::ScopedMount ro({"-t", "tmpfs", "-o", "ro,size=64k", "tmpfs"}, target);
  ASSERT_TRUE(ro.mounted()) << ro.error();
  RunOver({name});
  EXPECT_NE(ErrLog().find("  File \"new\\nline.txt\" is not saved. Error is occured.. Reason: "
                          "cannot create \"" +
                          (target / "new\\nline.txt").string() + "\": Read-only file system\r\n"),
            std::string::npos)
      << ErrLog();
}

struct HostileName {
  const char* name;
  std::string onDisc;  // the relative path as the disc holds it
  std::string shown;   // as the restore log and the error log show it
};

class HostileNames : public Run, public ::testing::WithParamInterface<HostileName> {};

// The log line is one line with the name escaped; the file keeps its true
// name; where it cannot be saved, the error log's line is one line too.
TEST_P(HostileNames, ShowOnOneLineAndSaveUnderTheTrueName) {
  Write(disc / GetParam().onDisc, "bytes");
  root.Clear();
  root.Scan(disc, true);
  RunOver({GetParam().onDisc});
  EXPECT_EQ(view.Text(), Line(GetParam().shown, "saved"));
  EXPECT_EQ(testsupport::ReadFileBytes(target / GetParam().onDisc), "bytes");

  // Again over a folder of the same name: the error log names it escaped.
  fs::remove(target / GetParam().onDisc);
  fs::create_directories(target / GetParam().onDisc);
  view.pieces.clear();
  RunOver({GetParam().onDisc});
  EXPECT_EQ(view.Text(), Line(GetParam().shown, "not saved. Error is occured."));
  const std::string leaf = fs::path(GetParam().shown).filename().string();
  EXPECT_NE(ErrLog().find("\r\n  File \"" + leaf +
                          "\" is not saved. Error is occured.. Reason: a folder of this name is "
                          "in the target folder.\r\n"),
            std::string::npos)
      << ErrLog();
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileNames,
    ::testing::Values(
        HostileName{.name = "LineFeed", .onDisc = "new\nline.txt", .shown = "new\\nline.txt"},
        HostileName{.name = "Tab", .onDisc = "tab\there.txt", .shown = "tab\\there.txt"},
        HostileName{.name = "CarriageReturn", .onDisc = "cr\rhere.txt", .shown = "cr\\rhere.txt"},
        HostileName{.name = "Latin1Byte", .onDisc = "caf\xE9.txt", .shown = "caf\\xE9.txt"},
        HostileName{.name = "EscapeSequence",
                    .onDisc = "esc\x1B[31mred.txt",
                    .shown = "esc\\x1B[31mred.txt"},
        HostileName{.name = "Markup", .onDisc = "<b>x</b>", .shown = "<b>x</b>"},
        HostileName{.name = "Backslash", .onDisc = "back\\slash", .shown = "back\\\\slash"},
        HostileName{.name = "LeadingBlank", .onDisc = " blank", .shown = "\\x20blank"},
        HostileName{.name = "Bytes255",
                    .onDisc = std::string(250, 'n') + "\xE9.txt",
                    .shown = std::string(250, 'n') + "\\xE9.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

// The same notation as the command line's scan listing.
TEST(EscapeForDisplay, MatchesTheScanListing) {
  EXPECT_EQ(platform::EscapeForDisplay("plain é.txt"), "plain é.txt");
  EXPECT_EQ(platform::EscapeForDisplay("a\x7F\xC2\x85z"), "a\\x7F\\xC2\\x85z");
}

TEST(ErrorTrail, MessageThenFramesOutermostFirstAndTheTraceEmptied) {
  testsupport::TempDir dir;
  TMAVLogFile log(dir.path() / "Err.log");
  TMAVCallStack stack;
  stack.Push("TMForm.ProcessSave");
  stack.Push("CheckFileInfo and SaveFile").Params().SetValues("File", "x.txt");
  EXPECT_EQ(TakeTrail(stack),
            "TMForm.ProcessSave()\r\nCheckFileInfo and SaveFile(File=x.txt; )\r\n");
  EXPECT_EQ(stack.Count(), 0);
  stack.Push("TMForm.ProcessScan").Params().SetValues("Drive", "E");
  LogException("Boom", stack, log);
  LogException("Again", stack, log);
  const std::string text = testsupport::ReadFileBytes(dir.path() / "Err.log");
  EXPECT_NE(text.find("] \r\n  Boom\r\n  TMForm.ProcessScan(Drive=E; )\r\n\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("] \r\n  Again\r\n\r\n"), std::string::npos) << "an empty trail: " << text;
}

}  // namespace
