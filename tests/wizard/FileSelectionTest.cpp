// The file page's check marks without a window: the examples of marks
// spreading down and up as a table over one small tree, with the Save
// button's state after each step; node texts, sorting and the collected
// files.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "SmallTree.h"
#include "wizard/FileSelection.h"
#include "wizard/WizardButtons.h"

namespace {

using testsupport::SmallTree;

enum TStep { Click, Space, CheckAll, UncheckAll };
struct Action {
  TStep step;
  const char* node = "";
};

struct PropagationCase {
  const char* name;
  std::vector<Action> actions;
  std::map<std::string, int> states;  // every node not named is unchecked
  bool saveEnabled;
};

const std::map<std::string, int> kFolderAChecked = {{"A", nsChecked},     {"x.txt", nsChecked},
                                                    {"y.txt", nsChecked}, {"B", nsChecked},
                                                    {"z.txt", nsChecked}, {"", nsPartly}};
const std::map<std::string, int> kEverythingChecked = {
    {"", nsChecked},  {"A", nsChecked},     {"x.txt", nsChecked}, {"y.txt", nsChecked},
    {"B", nsChecked}, {"z.txt", nsChecked}, {"E", nsChecked},     {"c.txt", nsChecked}};

class Propagation : public ::testing::TestWithParam<PropagationCase> {};

TEST_P(Propagation, MarksAndTheSaveButtonFollow) {
  SmallTree t;
  for (const Action& a : GetParam().actions) {
    switch (a.step) {
      case Click:
      case Space:  // Space on the selected entry is the same as a click on its box
        t.selection.Toggle(t.Node(a.node));
        break;
      case CheckAll:
      case UncheckAll:
        t.selection.CheckAll(a.step == CheckAll);
        break;
    }
  }
  for (const char* name : {"", "A", "x.txt", "y.txt", "B", "z.txt", "E", "c.txt"}) {
    const auto it = GetParam().states.find(name);
    const int expected = it == GetParam().states.end() ? nsUnchecked : it->second;
    EXPECT_EQ(TFileSelection::GetNodeState(t.Node(name)), expected) << "node '" << name << "'";
  }
  TWizardState s;
  s.PageIndex = wpFiles;
  s.RootNodeState = TFileSelection::GetNodeState(t.selection.Root());
  EXPECT_EQ(ComputeButtons(s).NextEnabled, GetParam().saveEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Propagation,
    ::testing::Values(
        PropagationCase{.name = "NothingTicked", .actions = {}, .states = {}, .saveEnabled = false},
        PropagationCase{.name = "TickingXMakesItsFolderPartly",
                        .actions = {{Click, "x.txt"}},
                        .states = {{"x.txt", nsChecked}, {"A", nsPartly}, {"", nsPartly}},
                        .saveEnabled = true},
        PropagationCase{.name = "TickingYAndBThenChecksTheFolder",
                        .actions = {{Click, "x.txt"}, {Click, "y.txt"}, {Click, "B"}},
                        .states = {{"x.txt", nsChecked},
                                   {"y.txt", nsChecked},
                                   {"B", nsChecked},
                                   {"z.txt", nsChecked},
                                   {"A", nsChecked},
                                   {"", nsPartly}},
                        .saveEnabled = true},
        PropagationCase{.name = "TickingAPartlyCheckedFolderChecksAllBelow",
                        .actions = {{Click, "z.txt"}, {Click, "A"}},
                        .states = kFolderAChecked,
                        .saveEnabled = true},
        PropagationCase{.name = "ClearingTheLastTickedFileClearsTheFolders",
                        .actions = {{Click, "z.txt"}, {Click, "z.txt"}},
                        .states = {},
                        .saveEnabled = false},
        PropagationCase{.name = "SpaceOnAFolderTicksItsContentsAndEnablesSave",
                        .actions = {{Space, "A"}},
                        .states = kFolderAChecked,
                        .saveEnabled = true},
        PropagationCase{.name = "SpaceAgainClearsTheFolderAndDisablesSave",
                        .actions = {{Space, "A"}, {Space, "A"}},
                        .states = {},
                        .saveEnabled = false},
        PropagationCase{.name = "EveryTopEntryTickedChecksTheRoot",
                        .actions = {{Click, "A"}, {Click, "E"}, {Click, "c.txt"}},
                        .states = kEverythingChecked,
                        .saveEnabled = true},
        PropagationCase{.name = "CheckAllThenUncheckAll",
                        .actions = {{CheckAll}, {UncheckAll}},
                        .states = {},
                        .saveEnabled = false},
        PropagationCase{.name = "CheckAllAfterPartlyTicks",
                        .actions = {{Click, "x.txt"}, {CheckAll}},
                        .states = kEverythingChecked,
                        .saveEnabled = true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileSelection, NodesCarryNamesWithSizesAndSortByText) {
  SmallTree t;
  std::vector<std::string> top, inA;
  for (auto& c : t.selection.Root()->Children) top.push_back(t.selection.Text(c));
  for (auto& c : t.Node("A")->Children) inA.push_back(t.selection.Text(c));
  EXPECT_EQ(t.selection.Text(*t.selection.Root()), "D:");
  EXPECT_EQ(top, (std::vector<std::string>{"A", "E", "c.txt   [7 Bytes]"}));
  EXPECT_EQ(inA, (std::vector<std::string>{"B", "x.txt   [2.05 KB]", "y.txt   [10 Bytes]"}));
  EXPECT_EQ(t.Node("x.txt")->Data->Name(), "x.txt");
}

TEST(FileSelection, FileTextsUseTheGivenDecimalSeparator) {
  TCustomFile f;
  f.SetName("b.txt");
  f.SetSize(2048);
  EXPECT_EQ(TFileSelection::NodeText(f, ","), "b.txt   [2,05 KB]");
}

// A row of the tree is one line whatever bytes the name holds.
TEST(FileSelection, NodeTextsShowNamesEscapedOnOneLine) {
  TCustomFile f;
  f.SetName("new\nline\t\xE9.txt");
  f.SetSize(3);
  EXPECT_EQ(TFileSelection::NodeText(f, "."), "new\\nline\\t\\xE9.txt   [3 Bytes]");
}

TEST(FileSelection, NoNodeReadsUncheckedAndIgnoresWrites) {
  EXPECT_EQ(TFileSelection::GetNodeState(nullptr), nsUnchecked);
  TFileSelection::SetNodeState(nullptr, nsChecked);  // must not crash
}

std::vector<std::string> Names(const TCustomFileList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i)
    names.push_back(list.Files(i)->PathNoDrive() / list.Files(i)->Name());
  return names;
}

TEST(FileSelection, CollectsTickedLeavesInTreeOrderWithEmptyFolders) {
  SmallTree t;
  t.selection.Toggle(t.Node("A"));
  t.selection.Toggle(t.Node("E"));
  TCustomFileList list;
  TFileSelection::CollectCheckedFiles(t.selection.Root(), list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"A/B/z.txt", "A/x.txt", "A/y.txt", "E"}));
}

TEST(FileSelection, CollectsOnlyTheTickedPartOfAPartlyCheckedFolder) {
  SmallTree t;
  t.selection.Toggle(t.Node("y.txt"));
  TCustomFileList list;
  TFileSelection::CollectCheckedFiles(t.selection.Root(), list);
  TFileSelection::CollectCheckedFiles(nullptr, list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"A/y.txt"}));
}

}  // namespace
