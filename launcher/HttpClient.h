#pragma once
// The launcher's HTTPS client: one GET at a time, waited for in a local event
// loop so that the windows keep painting and the Cancel button works while
// the launch sequence waits. Only https is fetched, up to ten redirects are
// followed and only to https, the server's certificate is verified, and every transfer has a
// stall time-out, an overall deadline and a size cap. A body counts only when
// it is as long as its Content-Length says.

#include <QDeadlineTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

#include "launcher/LauncherErrors.h"

class QNetworkReply;

namespace launcher {

struct TTransferLimits {
  std::chrono::milliseconds stall;    // no byte in this long ends the transfer
  std::chrono::milliseconds overall;  // the whole transfer, redirects included
  qint64 maxBytes;                    // the body may not be larger
};

class THttpClient : public QObject {
  Q_OBJECT

 public:
  // trustedCAs empty: the system's trust store; otherwise only these
  // authorities are trusted (tests use a CA of their own).
  explicit THttpClient(QList<QSslCertificate> trustedCAs = {}, QObject* parent = nullptr);

  // The body of a successful GET. Throws EDownloadError.
  QByteArray Get(const QUrl& url, const TTransferLimits& limits);
  // Streams the body of a successful GET into a file that appears at path
  // only when the body is complete (written under a temporary name and
  // renamed); an existing file there is replaced then. Throws EDownloadError.
  void GetToFile(const QUrl& url, const QString& path, const TTransferLimits& limits);

  // Ends the transfer in progress as failed ("Cancelled by the user").
  void Cancel();
  // Whether the last transfer ended by Cancel.
  bool Cancelled() const { return FCancelled; }

  // Called when a transfer begins (true) and ends (false); the download bar.
  std::function<void(bool)> OnWork;

 private:
  // Runs the GET, following redirects, handing each piece of the body to
  // sink (which may throw).
  void Run(const QUrl& url, const TTransferLimits& limits,
           const std::function<void(const QByteArray&)>& sink);
  // One request: the redirect's target, or nothing when the body was handed
  // to sink whole.
  std::optional<QUrl> Fetch(const QUrl& url, const TTransferLimits& limits,
                            const QDeadlineTimer& deadline,
                            const std::function<void(const QByteArray&)>& sink);

  QNetworkAccessManager FManager;
  QList<QSslCertificate> FTrustedCAs;
  QPointer<QNetworkReply> FReply;  // the transfer in progress
  bool FCancelled = false;
};

}  // namespace launcher
