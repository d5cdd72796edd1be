#pragma once
// TOverwriteDialogForm: asks modally whether an existing target file may be
// replaced. Yes, Yes to All, No, No to all; Escape answers No, Enter Yes,
// and closing the dialog gives Cancel.

#include <QDialog>

#include "wizard/Overwrite.h"

class QLabel;
class QPushButton;

class TOverwriteDialogForm : public QDialog {
  Q_OBJECT
 public:
  explicit TOverwriteDialogForm(QWidget* parent = nullptr);

  QLabel* lblMessage;
  QPushButton *Button1, *Button2, *Button3, *Button4;

  void reject() override { done(oaCancel); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// Shows the dialog modally with AMessage, centred over AForm's client area
// and stacked above the save progress window while it shows (which is always
// on top: a question behind it would take Enter unseen). Returns the answer.
TOverwriteAnswer ShowOverwriteDialog(QWidget* AForm, const QString& AMessage);
