#include "wizard/uMAVDialogs.h"

#include <QWidget>

QPoint CenteredOver(const QRect& ownerClientOnScreen, const QSize& boxSize) {
  return {ownerClientOnScreen.x() + (ownerClientOnScreen.width() - boxSize.width()) / 2,
          ownerClientOnScreen.y() + (ownerClientOnScreen.height() - boxSize.height()) / 2};
}

QMessageBox::StandardButton CenteredMessageDlg(QWidget* owner, const QString& text,
                                               TMsgDlgType kind,
                                               QMessageBox::StandardButtons buttons,
                                               int /*helpContext*/,
                                               QMessageBox::StandardButton defaultButton) {
  QMessageBox box(owner);
  box.setTextFormat(Qt::PlainText);  // texts carry paths, which are no markup
  box.setText(text);
  switch (kind) {
    case mtWarning:
      box.setIcon(QMessageBox::Warning);
      box.setWindowTitle(QStringLiteral("Warning"));
      break;
    case mtError:
      box.setIcon(QMessageBox::Critical);
      box.setWindowTitle(QStringLiteral("Error"));
      break;
    case mtInformation:
      box.setIcon(QMessageBox::Information);
      box.setWindowTitle(QStringLiteral("Information"));
      break;
    case mtConfirmation:
      box.setIcon(QMessageBox::Question);
      box.setWindowTitle(QStringLiteral("Confirm"));
      break;
  }
  box.setStandardButtons(buttons);
  box.setDefaultButton(defaultButton);
  box.adjustSize();
  if (owner) {
    const QRect client(owner->mapToGlobal(QPoint(0, 0)), owner->size());
    box.move(CenteredOver(client, box.frameGeometry().size()));
  }
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowErrorOver(QWidget* owner, const QString& text) {
  CenteredMessageDlg(owner, text, mtError, QMessageBox::Ok, 0, QMessageBox::Ok);
}
