#include "wizard/WizardApplication.h"

bool TWizardApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    if (!FHandler) throw;
    FHandler(std::current_exception());
    return false;
  }
}
