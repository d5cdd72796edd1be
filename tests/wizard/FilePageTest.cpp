// The file page through the window offscreen: Next on the target page scans
// the disc into a sorted tree, marks spread as the user ticks, the Save
// button follows the root, the topmost row cannot be collapsed, and a disc
// gone before the scan leaves the previous tree.

#include <QStackedWidget>
#include <QTest>

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
  static QTreeWidgetItem* Item(TMainForm& w, const QString& prefix) {
    for (QTreeWidgetItemIterator it(w.tvFiles); *it; ++it)
      if ((*it)->text(0).startsWith(prefix)) return *it;
    return nullptr;
  }
  static QStringList Children(QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
    return texts;
  }
};

TEST_F(FilePage, TheScanShowsTheDiscSortedWithSizesEverythingUnchecked) {
  auto w = OpenOnFilePage();
  QTreeWidgetItem* top = w->tvFiles->topLevelItem(0);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->text(0).toStdString(), Designator("D"));
  EXPECT_TRUE(top->isExpanded());
  EXPECT_EQ(Children(top), QStringList({"A", "c.txt   [1 Bytes]", "empty"}));
  EXPECT_FALSE(Item(*w, "A")->isExpanded()) << "deeper folders stay collapsed";
  EXPECT_EQ(Children(Item(*w, "A")), QStringList({"B", "x.txt   [2.05 KB]", "y.txt   [10 Bytes]"}));
  for (QTreeWidgetItemIterator it(w->tvFiles); *it; ++it)
    EXPECT_EQ((*it)->checkState(0), Qt::Unchecked) << (*it)->text(0).toStdString();
  EXPECT_FALSE(w->btnNext->isEnabled());
  EXPECT_EQ(CallStack().Count(), 0);
}

TEST_F(FilePage, ABoxClickSpreadsDownAndUpAndEnablesSave) {
  auto w = OpenOnFilePage();
  Item(*w, "x.txt")->setCheckState(0, Qt::Checked);  // what a click on the box does
  EXPECT_EQ(Item(*w, "A")->checkState(0), Qt::PartiallyChecked);
  EXPECT_EQ(w->tvFiles->topLevelItem(0)->checkState(0), Qt::PartiallyChecked);
  EXPECT_TRUE(w->btnNext->isEnabled());
  Item(*w, "A")->setCheckState(0, Qt::Checked);
  EXPECT_EQ(Item(*w, "z.txt")->checkState(0), Qt::Checked);
  w->btnUncheckAll->click();
  EXPECT_EQ(Item(*w, "z.txt")->checkState(0), Qt::Unchecked);
  EXPECT_FALSE(w->btnNext->isEnabled());
  w->btnCheckAll->click();
  EXPECT_EQ(Item(*w, "empty")->checkState(0), Qt::Checked);
  EXPECT_TRUE(w->btnNext->isEnabled());
}

TEST_F(FilePage, SpaceOnAFolderTicksItsContentsAndEnablesSave) {
  auto w = OpenOnFilePage();
  QApplication::setActiveWindow(w.get());
  w->tvFiles->setFocus();
  w->tvFiles->setCurrentItem(Item(*w, "A"));
  QTest::keyClick(w->tvFiles, Qt::Key_Space);
  EXPECT_EQ(Item(*w, "A")->checkState(0), Qt::Checked);
  EXPECT_EQ(Item(*w, "x.txt")->checkState(0), Qt::Checked);
  EXPECT_EQ(Item(*w, "z.txt")->checkState(0), Qt::Checked);
  EXPECT_TRUE(w->btnNext->isEnabled());
  QTest::keyClick(w->tvFiles, Qt::Key_Space);
  EXPECT_EQ(Item(*w, "x.txt")->checkState(0), Qt::Unchecked);
  EXPECT_FALSE(w->btnNext->isEnabled());
}

TEST_F(FilePage, TheTopmostRowStaysExpandedOthersCollapse) {
  auto w = OpenOnFilePage();
  QTreeWidgetItem* top = w->tvFiles->topLevelItem(0);
  Item(*w, "A")->setExpanded(true);
  w->tvFiles->collapseItem(Item(*w, "A"));
  EXPECT_FALSE(Item(*w, "A")->isExpanded());
  w->tvFiles->collapseItem(top);
  EXPECT_TRUE(top->isExpanded());
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
  EXPECT_EQ(w->tvFiles->topLevelItem(0)->childCount(), 3);
}

}  // namespace
