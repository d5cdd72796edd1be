#pragma once
// The message box of the error-message system as Qt message boxes: an
// information, warning or error box with OK, or a confirmation with Yes
// (the default) and No, modal and centred on the screen.

#include "support/uFunctions.h"

class TQtMessageBox final : public IMessageBox {
 public:
  int Show(TErrorDisplayStatus aStatus, const std::string& aText) override;
};

// Installs one TQtMessageBox for the whole process (call after the QApplication exists).
void InstallQtMessageBox();
