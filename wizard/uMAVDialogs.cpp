#include "wizard/uMAVDialogs.h"

#include <QWidget>

#include "support/gui/QtMessageBox.h"

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
  static constexpr QMessageBox::Icon icons[] = {QMessageBox::Warning, QMessageBox::Critical,
                                                QMessageBox::Information, QMessageBox::Question};
  PrepareMessageBox(box, icons[kind], text);
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
