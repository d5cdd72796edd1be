#pragma once
// The message box of the error-message system as Qt message boxes: an
// information, warning or error box with OK, or a confirmation with Yes
// (the default) and No, modal and centred on the screen.

#include <QMessageBox>
#include <QString>

#include "support/uFunctions.h"

class TQtMessageBox final : public IMessageBox {
 public:
  int Show(TErrorDisplayStatus aStatus, const std::string& aText) override;
};

// Gives a box its text, its icon and the caption that goes with the icon
// ("Information", "Warning", "Error", "Confirm"). The text is shown as plain
// text: messages carry paths and names from discs, which are no markup. A
// long text is cut short in the box (which fits the screen) and given whole
// as its details.
void PrepareMessageBox(QMessageBox& aBox, QMessageBox::Icon aIcon, const QString& aText);

// Installs one TQtMessageBox for the whole process (call after the QApplication exists).
void InstallQtMessageBox();
