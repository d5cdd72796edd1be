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

void PrepareMessageBox(QMessageBox& aBox, QMessageBox::Icon aIcon, const QString& aText) {
  aBox.setTextFormat(Qt::PlainText);
  aBox.setText(aText);
  aBox.setIcon(aIcon);
  switch (aIcon) {
    case QMessageBox::Information:
      aBox.setWindowTitle(QStringLiteral("Information"));
      break;
    case QMessageBox::Warning:
      aBox.setWindowTitle(QStringLiteral("Warning"));
      break;
    case QMessageBox::Question:
      aBox.setWindowTitle(QStringLiteral("Confirm"));
      break;
    case QMessageBox::Critical:
    case QMessageBox::NoIcon:
      aBox.setWindowTitle(QStringLiteral("Error"));
      break;
  }
}

int TQtMessageBox::Show(TErrorDisplayStatus aStatus, const std::string& aText) {
  QMessageBox box;
  QMessageBox::Icon icon = QMessageBox::Critical;  // edsSilent and edsError
  if (aStatus == edsInformation) icon = QMessageBox::Information;
  if (aStatus == edsWarning) icon = QMessageBox::Warning;
  if (aStatus == edsConfirmation) icon = QMessageBox::Question;
  PrepareMessageBox(box, icon, QString::fromStdString(aText));
  if (aStatus == edsConfirmation) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    // Closing the box without a button is the cautious answer.
    box.setEscapeButton(QMessageBox::No);
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
