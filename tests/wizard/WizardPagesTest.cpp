// The page objects without a window: what entering each page does, and what
// Next does on it, as the sequence of the window's steps they call.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "wizard/WizardPages.h"

namespace {

// Records the steps a page calls; the answers are the test's.
class FakeSteps : public IWizardSteps {
 public:
  void FillDrivesTree() override { calls.push_back("FillDrivesTree"); }
  void UpdateSelectedDrive() override { calls.push_back("UpdateSelectedDrive"); }
  void UpdateTargetInfo() override { calls.push_back("UpdateTargetInfo"); }
  bool FilesShowSelectedDrive() const override { return filesShowSelectedDrive; }
  void FillFindedFilesTree() override { calls.push_back("FillFindedFilesTree"); }
  void FocusFilesTree() override { calls.push_back("FocusFilesTree"); }
  bool CheckTargetDir() override {
    calls.push_back("CheckTargetDir");
    return targetDirMade;
  }
  void ProcessScan() override {
    calls.push_back("ProcessScan");
    if (scanFails) throw std::runtime_error("Drive E: is not available.");
  }
  void ProcessSave() override { calls.push_back("ProcessSave"); }
  void NextPage() override { calls.push_back("NextPage"); }
  void CloseWizard() override { calls.push_back("CloseWizard"); }

  bool filesShowSelectedDrive = false;
  bool targetDirMade = true;
  bool scanFails = false;
  std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

struct StepsCase {
  const char* name;
  int page;
  bool entering;  // InitializePage; else Next
  FakeSteps steps;
  Calls expected;
};

class PageSteps : public ::testing::TestWithParam<StepsCase> {};

TEST_P(PageSteps, CallTheWindowsStepsInOrder) {
  StepsCase c = GetParam();
  const TWizardPageObject* page = WizardPage(c.page);
  ASSERT_NE(page, nullptr);
  if (c.entering)
    page->InitializePage(c.steps);
  else
    page->Next(c.steps);
  EXPECT_EQ(c.steps.calls, c.expected);
}

FakeSteps Showing(bool selected) {
  FakeSteps s;
  s.filesShowSelectedDrive = selected;
  return s;
}
FakeSteps TargetDir(bool made) {
  FakeSteps s;
  s.targetDirMade = made;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageSteps,
    ::testing::Values(StepsCase{.name = "EnteringTheDrivePageFillsTheList",
                                .page = wpDrive,
                                .entering = true,
                                .steps = {},
                                .expected = {"FillDrivesTree"}},
                      StepsCase{.name = "EnteringTheTargetPageTakesTheDriveThenTheTarget",
                                .page = wpTarget,
                                .entering = true,
                                .steps = {},
                                .expected = {"UpdateSelectedDrive", "UpdateTargetInfo"}},
                      StepsCase{.name = "EnteringTheFilePageForAnotherDriveFillsTheTree",
                                .page = wpFiles,
                                .entering = true,
                                .steps = Showing(false),
                                .expected = {"FillFindedFilesTree", "FocusFilesTree"}},
                      StepsCase{.name = "EnteringTheFilePageForTheSameDriveKeepsTheTree",
                                .page = wpFiles,
                                .entering = true,
                                .steps = Showing(true),
                                .expected = {"FocusFilesTree"}},
                      StepsCase{.name = "EnteringTheLogPageDoesNothing",
                                .page = wpLog,
                                .entering = true,
                                .steps = {},
                                .expected = {}},
                      StepsCase{.name = "NextOnTheDrivePageMovesOn",
                                .page = wpDrive,
                                .entering = false,
                                .steps = {},
                                .expected = {"NextPage"}},
                      StepsCase{.name = "NextOnTheTargetPageMakesTheFolderAndStartsTheScan",
                                .page = wpTarget,
                                .entering = false,
                                .steps = TargetDir(true),
                                .expected = {"CheckTargetDir", "ProcessScan"}},
                      StepsCase{.name = "NextOnTheTargetPageStaysWhenTheFolderCannotBeMade",
                                .page = wpTarget,
                                .entering = false,
                                .steps = TargetDir(false),
                                .expected = {"CheckTargetDir"}},
                      StepsCase{.name = "SaveShowsTheLogFirstThenSaves",
                                .page = wpFiles,
                                .entering = false,
                                .steps = {},
                                .expected = {"NextPage", "ProcessSave"}},
                      StepsCase{.name = "ExitOnTheLogPageClosesTheWizard",
                                .page = wpLog,
                                .entering = false,
                                .steps = {},
                                .expected = {"CloseWizard"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageSteps, AFailedScanStopsNextBeforeThePageChanges) {
  FakeSteps steps;
  steps.scanFails = true;
  EXPECT_THROW(WizardPage(wpTarget)->Next(steps), std::runtime_error);
  EXPECT_EQ(steps.calls, (Calls{"CheckTargetDir", "ProcessScan"}));
}

TEST(PageSteps, OnlyTheFourPagesExist) {
  EXPECT_EQ(WizardPage(-1), nullptr);
  EXPECT_EQ(WizardPage(WizardPageCount), nullptr);
  EXPECT_FALSE(WizardPage(wpDrive)->BackVisible());
  EXPECT_FALSE(WizardPage(wpLog)->ExitVisible()) << "the log page's Next is its Exit";
}

}  // namespace
