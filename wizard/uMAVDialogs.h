#pragma once
// The main program's message box, centred over a given window.

#include <QMessageBox>
#include <QRect>
#include <QString>

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

// Where a box of size boxSize goes so that its centre lies on the centre of
// the owner's client area (integer halving rounds towards zero).
QPoint CenteredOver(const QRect& ownerClientOnScreen, const QSize& boxSize);

// Shows a modal box of the kind with the buttons and default button and
// returns the button pressed. The help context is accepted and not used.
QMessageBox::StandardButton CenteredMessageDlg(QWidget* owner, const QString& text,
                                               TMsgDlgType kind,
                                               QMessageBox::StandardButtons buttons,
                                               int helpContext,
                                               QMessageBox::StandardButton defaultButton);

// The program's error box: kind error, OK alone and default.
void ShowErrorOver(QWidget* owner, const QString& text);
