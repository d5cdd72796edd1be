#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "TempDir.h"
#include "support/gui/QtMessageBox.h"

namespace {

// Runs `answer` on the message box as soon as it is up.
void WhenTheBoxIsUp(std::function<void(QMessageBox&)> answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(*box);
    }
  });
  poll->start(10);
}

struct BoxCase {
  const char* name;
  TErrorDisplayStatus status;
  const char* title;
  QMessageBox::StandardButton press;  // NoButton: close with Escape
  int expected;
};

void PrintTo(const BoxCase& row, std::ostream* out) { *out << row.name; }

// The process's message box is a TQtMessageBox, errors are logged in a home of the test's own.
template <typename Row>
class MessageBoxTest : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    ProductDataFolder = (home_.home() / "data").string();
    InstallQtMessageBox();
  }
  void TearDown() override {
    SetMessageBox(nullptr);
    ProductDataFolder.clear();
  }
  testsupport::IsolatedHome home_;
};

using QtMessageBoxTest = MessageBoxTest<BoxCase>;

TEST_P(QtMessageBoxTest, ShowsTheBoxOfTheStatusAndReturnsTheButton) {
  const BoxCase& c = GetParam();
  QString title, text;
  WhenTheBoxIsUp([&](QMessageBox& box) {
    title = box.windowTitle();
    text = box.text();
    if (c.press == QMessageBox::NoButton)
      QTest::keyClick(&box, Qt::Key_Escape);
    else
      box.button(c.press)->click();
  });
  EXPECT_EQ(WriteErrorMessage(c.status, AID_Common_Forms, 1, "Disc is gone"), c.expected);
  EXPECT_EQ(title.toStdString(), c.title);
  EXPECT_EQ(text.toStdString(), "Disc is gone");
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, QtMessageBoxTest,
    ::testing::Values(
        BoxCase{"InformationOk", edsInformation, "Information", QMessageBox::Ok, mrOk},
        BoxCase{"WarningOk", edsWarning, "Warning", QMessageBox::Ok, mrOk},
        BoxCase{"ErrorOk", edsError, "Error", QMessageBox::Ok, mrOk},
        BoxCase{"ErrorClosedWithEscapeIsOk", edsError, "Error", QMessageBox::NoButton, mrOk},
        BoxCase{"ConfirmationYes", edsConfirmation, "Confirm", QMessageBox::Yes, mrYes},
        BoxCase{"ConfirmationNo", edsConfirmation, "Confirm", QMessageBox::No, mrNo},
        BoxCase{"ConfirmationClosedWithEscapeIsNo", edsConfirmation, "Confirm",
                QMessageBox::NoButton, mrNo}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(QtMessageBox, ConfirmationDefaultsToYes) {
  testsupport::IsolatedHome home;
  ProductDataFolder = (home.home() / "data").string();
  InstallQtMessageBox();
  WhenTheBoxIsUp([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); });
  EXPECT_EQ(WriteErrorMessage(edsConfirmation, AID_Common_Forms, 1, "Go on?"), mrYes);
  SetMessageBox(nullptr);
  ProductDataFolder.clear();
}

// A long text never makes the box larger than the screen, and OK stays on
// the screen: a very long one is shown cut short and given whole as the
// details.
struct LongTextCase {
  const char* name;
  std::string text;
  bool cut;  // shown cut short, else as it stands
};
void PrintTo(const LongTextCase& row, std::ostream* out) { *out << row.name; }

using LongMessageBox = MessageBoxTest<LongTextCase>;

TEST_P(LongMessageBox, FitsTheScreen) {
  QRect screen, box, ok;
  QString shown, details;
  WhenTheBoxIsUp([&](QMessageBox& b) {
    screen = b.screen()->availableGeometry();
    box = b.frameGeometry();
    QAbstractButton* button = b.button(QMessageBox::Ok);
    ok = QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
    shown = b.text();
    details = b.detailedText();
    button->click();
  });
  EXPECT_EQ(WriteErrorMessage(edsError, AID_Common_Forms, 1, GetParam().text), mrOk);
  EXPECT_LE(box.width(), screen.width());
  EXPECT_TRUE(screen.contains(box))
      << "box " << box.x() << "," << box.y() << " " << box.width() << "x" << box.height();
  EXPECT_TRUE(screen.contains(ok)) << "OK at " << ok.x() << "," << ok.y();
  if (!GetParam().cut) {
    EXPECT_EQ(shown.toStdString(), GetParam().text);
    EXPECT_TRUE(details.isEmpty());
    return;
  }
  // The box shows the beginning, with break opportunities, and an ellipsis.
  EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
  EXPECT_TRUE(
      QString::fromStdString(GetParam().text).startsWith(shown.chopped(1).remove(QChar(0x200B))));
  EXPECT_EQ(details.toStdString(), GetParam().text);
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LongMessageBox,
    ::testing::Values(LongTextCase{"OneWordOfTenThousandCharacters", std::string(10000, 'n'), true},
                      LongTextCase{"ManyWords", Repeated("word ", 2000), true},
                      LongTextCase{"ManyLines", Repeated("line\n", 2000), true},
                      LongTextCase{"PathOfFiveHundredCharacters",
                                   "Can't write \"" + Repeated("/folder", 70) + "\"", false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
