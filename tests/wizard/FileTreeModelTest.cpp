// The file page's item model over the selection: a table of steps over one
// small tree, with the check states the existing rows report, how many rows
// exist (only opened folders have rows), and that every row whose state
// changed was announced to the view.

#include <QLocale>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "SmallTree.h"
#include "wizard/FileTreeModel.h"

namespace {

using testsupport::SmallTree;

enum TStep { Expand, Click, CheckAll, UncheckAll };
struct Action {
  TStep step;
  const char* row = "";  // a node's name; "" is the root
};

struct ModelCase {
  const char* name;
  std::vector<Action> actions;
  std::map<std::string, Qt::CheckState> rows;  // every row that exists, by name
  std::int64_t rowsCreated;
};

class Model : public ::testing::TestWithParam<ModelCase> {
 protected:
  // Name and index of every row the model has made.
  std::map<std::string, QPersistentModelIndex> Rows() {
    std::map<std::string, QPersistentModelIndex> rows;
    std::vector<QModelIndex> pending{model.index(0, 0)};
    while (!pending.empty()) {
      const QModelIndex i = pending.back();
      pending.pop_back();
      const TFileNode* node = model.NodeOf(i);
      rows[node == t.selection.Root() ? "" : node->Data->Name().string()] = i;
      for (int r = 0; r < model.rowCount(i); ++r) pending.push_back(model.index(r, 0, i));
    }
    return rows;
  }
  std::map<std::string, Qt::CheckState> States() {
    std::map<std::string, Qt::CheckState> states;
    for (const auto& [name, i] : Rows())
      states[name] = i.data(Qt::CheckStateRole).value<Qt::CheckState>();
    return states;
  }

  SmallTree t;
  TFileTreeModel model{t.selection};
};

TEST_P(Model, RowsAndCheckStatesFollowTheSelection) {
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  for (const Action& a : GetParam().actions) {
    const auto before = States();
    changed.clear();
    switch (a.step) {
      case Expand:  // what the view does when the user opens a folder
        ASSERT_TRUE(Rows().contains(a.row)) << a.row;
        model.fetchMore(Rows().at(a.row));
        break;
      case Click: {
        ASSERT_TRUE(Rows().contains(a.row)) << a.row;
        const QModelIndex i = Rows().at(a.row);
        const bool checked = i.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
        EXPECT_TRUE(model.setData(i, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole));
        break;
      }
      case CheckAll:
      case UncheckAll:
        t.selection.CheckAll(a.step == CheckAll);
        model.StatesChanged();
        break;
    }
    // Every row whose state changed lies in an announced range.
    const auto rows = Rows();
    for (const auto& [name, state] : States()) {
      if (!before.contains(name) || before.at(name) == state) continue;
      const QModelIndex i = rows.at(name);
      const bool announced = std::any_of(changed.begin(), changed.end(), [&](const auto& args) {
        const auto from = args[0].template value<QModelIndex>();
        const auto to = args[1].template value<QModelIndex>();
        return from.parent() == i.parent() && from.row() <= i.row() && i.row() <= to.row();
      });
      EXPECT_TRUE(announced) << "row '" << name << "' changed unannounced";
    }
  }
  EXPECT_EQ(States(), GetParam().rows);
  EXPECT_EQ(model.RowsCreated(), GetParam().rowsCreated);
  EXPECT_EQ(model.RowsCreated(), static_cast<std::int64_t>(Rows().size()));
}

constexpr auto U = Qt::Unchecked;
constexpr auto C = Qt::Checked;
constexpr auto P = Qt::PartiallyChecked;

INSTANTIATE_TEST_SUITE_P(
    Steps, Model,
    ::testing::Values(
        ModelCase{.name = "OnlyTheRootRowBeforeItOpens",
                  .actions = {},
                  .rows = {{"", U}},
                  .rowsCreated = 1},
        ModelCase{.name = "OpeningTheRootMakesItsRowsOnly",
                  .actions = {{Expand, ""}},
                  .rows = {{"", U}, {"A", U}, {"E", U}, {"c.txt", U}},
                  .rowsCreated = 4},
        ModelCase{
            .name = "OpeningAFolderMakesItsRowsOnly",
            .actions = {{Expand, ""}, {Expand, "A"}},
            .rows =
                {{"", U}, {"A", U}, {"E", U}, {"c.txt", U}, {"B", U}, {"x.txt", U}, {"y.txt", U}},
            .rowsCreated = 7},
        ModelCase{
            .name = "TickingAnOpenFolderShowsItsContentsTicked",
            .actions = {{Expand, ""}, {Expand, "A"}, {Click, "A"}},
            .rows =
                {{"", P}, {"A", C}, {"E", U}, {"c.txt", U}, {"B", C}, {"x.txt", C}, {"y.txt", C}},
            .rowsCreated = 7},
        ModelCase{.name = "TickingAClosedFolderMakesNoRows",
                  .actions = {{Expand, ""}, {Click, "A"}},
                  .rows = {{"", P}, {"A", C}, {"E", U}, {"c.txt", U}},
                  .rowsCreated = 4},
        ModelCase{
            .name = "TickingAFileInAPartlyTickedFolder",
            .actions =
                {{Expand, ""}, {Expand, "A"}, {Expand, "B"}, {Click, "z.txt"}, {Click, "x.txt"}},
            .rows = {{"", P},
                     {"A", P},
                     {"E", U},
                     {"c.txt", U},
                     {"B", C},
                     {"z.txt", C},
                     {"x.txt", C},
                     {"y.txt", U}},
            .rowsCreated = 8},
        ModelCase{
            .name = "TheLastFileTickedChecksItsFolder",
            .actions =
                {{Expand, ""}, {Expand, "A"}, {Click, "B"}, {Click, "x.txt"}, {Click, "y.txt"}},
            .rows =
                {{"", P}, {"A", C}, {"E", U}, {"c.txt", U}, {"B", C}, {"x.txt", C}, {"y.txt", C}},
            .rowsCreated = 7},
        ModelCase{
            .name = "CheckAll",
            .actions = {{Expand, ""}, {Expand, "A"}, {CheckAll}},
            .rows =
                {{"", C}, {"A", C}, {"E", C}, {"c.txt", C}, {"B", C}, {"x.txt", C}, {"y.txt", C}},
            .rowsCreated = 7},
        ModelCase{.name = "UncheckAllAfterPartlyTicks",
                  .actions = {{Expand, ""}, {Click, "c.txt"}, {UncheckAll}},
                  .rows = {{"", U}, {"A", U}, {"E", U}, {"c.txt", U}},
                  .rowsCreated = 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileTreeModel, RowsCarryTextsSharedIconsAndAreCheckable) {
  SmallTree t;
  TFileTreeModel model(t.selection);
  const QModelIndex root = model.index(0, 0);
  model.fetchMore(root);
  const QModelIndex a = model.index(0, 0, root);
  const QModelIndex c = model.index(2, 0, root);
  EXPECT_EQ(root.data().toString(), "D:");
  EXPECT_EQ(c.data().toString(), "c.txt   [7 Bytes]");
  EXPECT_TRUE(model.hasChildren(a)) << "a closed folder still shows it can open";
  EXPECT_EQ(model.rowCount(a), 0);
  EXPECT_FALSE(model.hasChildren(c));
  EXPECT_TRUE(model.flags(c) & Qt::ItemIsUserCheckable);
  // One icon for every folder and one for every file, not one per row.
  const auto key = [](const QModelIndex& i) {
    return i.data(Qt::DecorationRole).value<QIcon>().cacheKey();
  };
  EXPECT_EQ(key(a), key(model.index(1, 0, root)));
  EXPECT_NE(key(a), key(c));
  EXPECT_EQ(model.parent(model.index(1, 0, root)), root);
}

// The wizard's order: alphabetical as the user reads, numbers by value,
// equal texts in the disc's order.
TEST(FileTreeModel, UserTextOrderSortsNumbersByValueAndKeepsEqualTextsInPlace) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  const std::vector<std::string> texts = {"IMG_10.JPG", "b", "IMG_2.JPG", "a", "b"};
  std::vector<std::size_t> order = {0, 1, 2, 3, 4};
  UserTextOrder()(texts, order);
  QLocale::setDefault(saved);
  EXPECT_EQ(order, (std::vector<std::size_t>{3, 1, 4, 2, 0}));
}

// A rebuilt selection drops every row; the new root starts closed.
TEST(FileTreeModel, ARebuildDropsTheRows) {
  SmallTree t;
  TFileTreeModel model(t.selection);
  model.fetchMore(model.index(0, 0));
  EXPECT_EQ(model.RowsCreated(), 4);
  model.Rebuild([&] { t.selection.Build(t.root, std::less<std::string>(), "."); });
  EXPECT_EQ(model.RowsCreated(), 1);
  EXPECT_EQ(model.rowCount(model.index(0, 0)), 0);
}

}  // namespace
