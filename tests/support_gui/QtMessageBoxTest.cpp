#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
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

class QtMessageBoxTest : public ::testing::TestWithParam<BoxCase> {
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

}  // namespace
