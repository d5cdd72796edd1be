#pragma once
// The main program's application object: an error that leaves any event
// handler reaches one handler (the wizard window's) instead of ending the
// program.

#include <QApplication>

#include <exception>
#include <functional>

class TWizardApplication : public QApplication {
 public:
  using QApplication::QApplication;
  void SetExceptionHandler(std::function<void(std::exception_ptr)> handler) {
    FHandler = std::move(handler);
  }
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::function<void(std::exception_ptr)> FHandler;
};
