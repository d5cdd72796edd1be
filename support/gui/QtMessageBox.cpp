#include "support/gui/QtMessageBox.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace {

// A box shows at most this much of its text, so that it and its buttons fit
// on any screen; the whole text is under "Show Details...".
constexpr qsizetype kMaxShownChars = 600;
constexpr qsizetype kMaxShownLines = 12;

// In a text cut short, a word longer than this (a path, an address) may be
// broken anywhere.
constexpr qsizetype kMaxUnbrokenChars = 60;

// The text itself when it is short enough (Qt's box then wraps it, breaking
// a long word anywhere when it must). Otherwise its beginning, ended by an
// ellipsis, with a break opportunity (a zero-width space) in every run of
// kMaxUnbrokenChars characters without a blank, so that the box stays at its
// usual width.
QString ShownPart(const QString& text) {
  qsizetype end = qMin(text.size(), kMaxShownChars);
  qsizetype lines = 0;
  for (qsizetype i = 0; i < end; ++i) {
    if (text[i] == QLatin1Char('\n') && ++lines == kMaxShownLines) end = i;
  }
  if (end == text.size()) return text;
  QString shown;
  qsizetype run = 0;
  for (qsizetype i = 0; i < end; ++i) {
    run = text[i].isSpace() ? 0 : run + 1;
    if (run > kMaxUnbrokenChars) {
      shown += QChar(0x200B);
      run = 1;
    }
    shown += text[i];
  }
  return shown + QChar(0x2026);
}

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
  const QString shown = ShownPart(aText);
  aBox.setText(shown);
  if (shown != aText) aBox.setDetailedText(aText);
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
