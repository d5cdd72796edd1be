#pragma once
// Opens web pages in the user's default browser through xdg-open. A page
// that cannot be opened is not shown to the user, but xdg-open's exit code is
// read and a failure leaves a line in the error log.

#include <QObject>
#include <QString>

class TUrlOpener : public QObject {
  Q_OBJECT
 public:
  explicit TUrlOpener(QObject* parent = nullptr) : QObject(parent) {}
  // The opener program; "xdg-open" unless a test gives another.
  void SetProgram(const QString& program) { FProgram = program; }
  const QString& Program() const { return FProgram; }

  // Starts the opener and returns; its exit code is read when it ends.
  void Open(const QString& url);
  // Starts the opener as a process of its own that outlives this program
  // (for the page shown as the program closes). False when it cannot start.
  bool OpenDetached(const QString& url) const;

 signals:
  // The opener ended; exitCode 0 means the page was handed to a browser.
  void Finished(const QString& url, int exitCode);

 private:
  QString FProgram = QStringLiteral("xdg-open");
};
