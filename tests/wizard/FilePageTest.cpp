// The file page through the window offscreen: Next on the target page scans
// the disc into a sorted tree, marks spread as the user ticks, the Save
// button follows the root, the topmost row cannot be collapsed, and a disc
// gone before the scan leaves the previous tree.

#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

#include <functional>
#include <vector>

#include "MainFormFixture.h"
#include "TempDir.h"
#include "diagnostics/uMAVCallStack.h"

namespace {

namespace fs = std::filesystem;
using testsupport::AnswerTheBox;

class FilePage : public testsupport::MainForm {
 protected:
  FilePage() {
    InsertDisc("D");
    fs::create_directories(root / "D" / "A" / "B");
    fs::create_directories(root / "D" / "empty");
    testsupport::WriteFileBytes(root / "D" / "A" / "y.txt", std::string(10, 'y'));
    testsupport::WriteFileBytes(root / "D" / "A" / "x.txt", std::string(2048, 'x'));
    testsupport::WriteFileBytes(root / "D" / "A" / "B" / "z.txt", "z");
    testsupport::WriteFileBytes(root / "D" / "c.txt", "c");
  }
  std::unique_ptr<TMainForm> OpenOnFilePage() {
    auto w = Open();
    w->btnNext->click();
    w->edtRestoreDir->setText(QString::fromStdString(Designator("hdd") + "/out"));
    w->btnNext->click();
    WaitForRun(*w);
    EXPECT_EQ(w->ActivePageIndex(), 2);
    return w;
  }
  // The row whose text begins with prefix, opening folders on the way as a
  // user who scrolls through them would.
  static QModelIndex Item(TMainForm& w, const QString& prefix) {
    QModelIndex found;
    ForEachRow(w, [&](const QModelIndex& i) {
      if (!found.isValid() && i.data().toString().startsWith(prefix)) found = i;
    });
    return found;
  }
  static void ForEachRow(TMainForm& w, const std::function<void(const QModelIndex&)>& visit) {
    QAbstractItemModel* m = w.tvFiles->model();
    std::vector<QModelIndex> pending{m->index(0, 0)};
    while (!pending.empty()) {
      const QModelIndex i = pending.back();
      pending.pop_back();
      visit(i);
      if (m->canFetchMore(i)) m->fetchMore(i);
      for (int r = m->rowCount(i); r > 0; --r) pending.push_back(m->index(r - 1, 0, i));
    }
  }
  static QStringList Children(const QModelIndex& item) {
    QAbstractItemModel* m = const_cast<QAbstractItemModel*>(item.model());
    if (m->canFetchMore(item)) m->fetchMore(item);
    QStringList texts;
    for (int i = 0; i < m->rowCount(item); ++i) texts << m->index(i, 0, item).data().toString();
    return texts;
  }
  static Qt::CheckState State(const QModelIndex& item) {
    return item.data(Qt::CheckStateRole).value<Qt::CheckState>();
  }
  // What a click on the row's box does.
  static void Click(const QModelIndex& item) {
    const_cast<QAbstractItemModel*>(item.model())
        ->setData(item, State(item) == Qt::Checked ? Qt::Unchecked : Qt::Checked,
                  Qt::CheckStateRole);
  }
  static QModelIndex Top(TMainForm& w) { return w.tvFiles->model()->index(0, 0); }
};

TEST_F(FilePage, TheScanShowsTheDiscSortedWithSizesEverythingUnchecked) {
  auto w = OpenOnFilePage();
  const QModelIndex top = Top(*w);
  ASSERT_TRUE(top.isValid());
  EXPECT_EQ(top.data().toString().toStdString(), Designator("D"));
  EXPECT_TRUE(w->tvFiles->isExpanded(top));
  EXPECT_EQ(Children(top), QStringList({"A", "c.txt   [1 Bytes]", "empty"}));
  EXPECT_FALSE(w->tvFiles->isExpanded(Item(*w, "A"))) << "deeper folders stay collapsed";
  EXPECT_EQ(Children(Item(*w, "A")), QStringList({"B", "x.txt   [2.05 KB]", "y.txt   [10 Bytes]"}));
  ForEachRow(*w, [](const QModelIndex& i) {
    EXPECT_EQ(State(i), Qt::Unchecked) << i.data().toString().toStdString();
  });
  EXPECT_FALSE(w->btnNext->isEnabled());
  EXPECT_EQ(CallStack().Count(), 0);
}

TEST_F(FilePage, ABoxClickSpreadsDownAndUpAndEnablesSave) {
  auto w = OpenOnFilePage();
  Click(Item(*w, "x.txt"));
  EXPECT_EQ(State(Item(*w, "A")), Qt::PartiallyChecked);
  EXPECT_EQ(State(Top(*w)), Qt::PartiallyChecked);
  EXPECT_TRUE(w->btnNext->isEnabled());
  Click(Item(*w, "A"));
  EXPECT_EQ(State(Item(*w, "z.txt")), Qt::Checked);
  w->btnUncheckAll->click();
  EXPECT_EQ(State(Item(*w, "z.txt")), Qt::Unchecked);
  EXPECT_FALSE(w->btnNext->isEnabled());
  w->btnCheckAll->click();
  EXPECT_EQ(State(Item(*w, "empty")), Qt::Checked);
  EXPECT_TRUE(w->btnNext->isEnabled());
}

TEST_F(FilePage, SpaceOnAFolderTicksItsContentsAndEnablesSave) {
  auto w = OpenOnFilePage();
  QApplication::setActiveWindow(w.get());
  w->tvFiles->setFocus();
  w->tvFiles->setCurrentIndex(Item(*w, "A"));
  QTest::keyClick(w->tvFiles, Qt::Key_Space);
  EXPECT_EQ(State(Item(*w, "A")), Qt::Checked);
  EXPECT_EQ(State(Item(*w, "x.txt")), Qt::Checked);
  EXPECT_EQ(State(Item(*w, "z.txt")), Qt::Checked);
  EXPECT_TRUE(w->btnNext->isEnabled());
  QTest::keyClick(w->tvFiles, Qt::Key_Space);
  EXPECT_EQ(State(Item(*w, "x.txt")), Qt::Unchecked);
  EXPECT_FALSE(w->btnNext->isEnabled());
}

// A click with the mouse on the box of a row the view shows.
TEST_F(FilePage, AMouseClickOnTheBoxTicksTheRow) {
  auto w = OpenOnFilePage();
  w->show();
  const QModelIndex c = Item(*w, "c.txt");
  const QRect row = w->tvFiles->visualRect(c);
  ASSERT_FALSE(row.isEmpty());
  QStyleOptionViewItem option;
  option.initFrom(w->tvFiles);
  option.rect = row;
  option.features |= QStyleOptionViewItem::HasCheckIndicator;
  const QRect box = w->tvFiles->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator,
                                                        &option, w->tvFiles);
  QTest::mouseClick(w->tvFiles->viewport(), Qt::LeftButton, {}, box.center());
  EXPECT_EQ(State(c), Qt::Checked);
  EXPECT_EQ(State(Top(*w)), Qt::PartiallyChecked);
  EXPECT_TRUE(w->btnNext->isEnabled());
}

// With the tree scrolled to the top, the root row is the topmost and stays open.
TEST_F(FilePage, TheTopmostRowStaysExpandedOthersCollapse) {
  auto w = OpenOnFilePage();
  const QModelIndex top = Top(*w);
  w->tvFiles->expand(Item(*w, "A"));
  w->tvFiles->collapse(Item(*w, "A"));
  EXPECT_FALSE(w->tvFiles->isExpanded(Item(*w, "A")));
  w->tvFiles->collapse(top);
  EXPECT_TRUE(w->tvFiles->isExpanded(top));
}

// A name wider than the view brings a horizontal scroll bar instead of being cut off.
TEST_F(FilePage, AWideEntryBringsAHorizontalScrollBar) {
  fs::path deep = root / "D";
  for (int i = 0; i < 30; ++i) deep /= "level" + std::to_string(i);
  fs::create_directories(deep);
  testsupport::WriteFileBytes(deep / (std::string(200, 'w') + ".txt"), "w");
  auto w = OpenOnFilePage();
  w->resize(640, 480);
  w->show();
  w->tvFiles->expandAll();
  QApplication::processEvents();
  EXPECT_GT(w->tvFiles->horizontalScrollBar()->maximum(), 0);
}

TEST_F(FilePage, ADiscGoneBeforeTheScanLeavesThePreviousTree) {
  auto w = OpenOnFilePage();
  w->btnPrev->click();
  EjectDisc("D");
  fs::create_directories(root / "D");
  QString said;
  AnswerTheBox(&said);
  w->btnNext->click();
  EXPECT_EQ(w->ActivePageIndex(), 0);
  EXPECT_TRUE(said.contains("is not available.")) << said.toStdString();
  EXPECT_EQ(Children(Top(*w)).size(), 3);
}

}  // namespace
