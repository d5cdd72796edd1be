#include "support/gui/uMultiForm.h"

#include "support/uUILanguage.h"

TMultiForm::TMultiForm(QWidget* AOwner) : QDialog(AOwner) {}

void TMultiForm::setVisible(bool visible) {
  if (visible && !testAttribute(Qt::WA_WState_Created)) CreateParams();
  QDialog::setVisible(visible);
}

void TMultiForm::CreateParams() {
  if (!FOwnDirection) FOwnDirection = layoutDirection();
  // Mirrors the window with its children: layouts, scroll bars and reading order.
  setLayoutDirection(FormIsRightToLeft() ? Qt::RightToLeft : *FOwnDirection);
}
