#include "support/gui/QtMessageBox.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace {

void CentreOnScreen(QMessageBox& box) {
  box.adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = box.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    box.move(frame.topLeft());
  }
}

}  // namespace

int TQtMessageBox::Show(TErrorDisplayStatus aStatus, const std::string& aText) {
  QMessageBox box;
  box.setText(QString::fromStdString(aText));
  switch (aStatus) {
    case edsInformation:
      box.setIcon(QMessageBox::Information);
      box.setWindowTitle(QStringLiteral("Information"));
      break;
    case edsWarning:
      box.setIcon(QMessageBox::Warning);
      box.setWindowTitle(QStringLiteral("Warning"));
      break;
    case edsSilent:
    case edsError:
      box.setIcon(QMessageBox::Critical);
      box.setWindowTitle(QStringLiteral("Error"));
      break;
    case edsConfirmation:
      box.setIcon(QMessageBox::Question);
      box.setWindowTitle(QStringLiteral("Confirm"));
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      // Closing the box without a button is the cautious answer.
      box.setEscapeButton(QMessageBox::No);
      break;
  }
  if (aStatus != edsConfirmation) box.setStandardButtons(QMessageBox::Ok);
  CentreOnScreen(box);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return mrYes;
    case QMessageBox::No:
      return mrNo;
    default:
      return aStatus == edsConfirmation ? mrNo : mrOk;
  }
}

void InstallQtMessageBox() {
  static TQtMessageBox box;
  SetMessageBox(&box);
}
