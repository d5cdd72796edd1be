#include "support/gui/UrlOpener.h"

#include <QProcess>

#include "support/uFunctions.h"

namespace {

void LogFailure(const QString& url, const QString& why) {
  WriteErrorMessage(edsSilent, AID_Velmora_Free, 0,
                    "[OpenUrl] " + url.toStdString() + ": " + why.toStdString());
}

}  // namespace

void TUrlOpener::Open(const QString& url) {
  auto* process = new QProcess(this);
  connect(process, &QProcess::finished, this,
          [this, process, url](int exitCode, QProcess::ExitStatus status) {
            const int code = status == QProcess::NormalExit ? exitCode : -1;
            if (code != 0) LogFailure(url, QStringLiteral("exit code %1").arg(code));
            process->deleteLater();
            emit Finished(url, code);
          });
  connect(process, &QProcess::errorOccurred, this, [this, process, url](QProcess::ProcessError e) {
    if (e != QProcess::FailedToStart) return;  // the others end in finished()
    LogFailure(url, process->errorString());
    process->deleteLater();
    emit Finished(url, -1);
  });
  process->start(FProgram, {url});
}

bool TUrlOpener::OpenDetached(const QString& url) const {
  const bool started = QProcess::startDetached(FProgram, {url});
  if (!started) LogFailure(url, QStringLiteral("could not start ") + FProgram);
  return started;
}
