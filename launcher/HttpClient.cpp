#include "launcher/HttpClient.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QTimer>

#include <optional>

namespace launcher {

namespace {

constexpr int kMaxRedirects = 10;
// What Qt may read from the socket ahead of our writes: the body goes to the
// file as it arrives, so memory stays small however fast the link is.
constexpr qint64 kReadBufferBytes = 1024 * 1024;

std::string Text(const QString& text) { return text.toStdString(); }

}  // namespace

THttpClient::THttpClient(QList<QSslCertificate> trustedCAs, QObject* parent)
    : QObject(parent), FTrustedCAs(std::move(trustedCAs)) {
  // The launcher talks to the product site directly; a proxy from the
  // environment is not asked.
  FManager.setProxy(QNetworkProxy::NoProxy);
}

void THttpClient::Cancel() {
  FCancelled = true;
  if (FReply) FReply->abort();
}

void THttpClient::Run(const QUrl& url, const TTransferLimits& limits,
                      const std::function<void(const QByteArray&)>& sink) {
  // Whatever is fetched here may be run: never in clear text.
  if (url.scheme() != QLatin1String("https") || url.host().isEmpty()) {
    throw EDownloadError("Only https addresses are fetched: \"" + Text(url.toString()) + "\"");
  }
  FCancelled = false;
  const QDeadlineTimer deadline(limits.overall);
  if (OnWork) OnWork(true);
  try {
    // Redirects are followed here, one request per hop: Qt 6.4's own
    // following (NoLessSafe and UserVerified policy alike) sends some
    // requests twice.
    QUrl current = url;
    for (int redirects = 0;; ++redirects) {
      const std::optional<QUrl> target = Fetch(current, limits, deadline, sink);
      if (!target) break;
      const QUrl next = current.resolved(*target);
      if (next.scheme() != QLatin1String("https") || next.host().isEmpty()) {
        throw EDownloadError("Redirect to a non-https address refused: \"" + Text(next.toString()) +
                             "\"");
      }
      if (redirects == kMaxRedirects) {
        throw EDownloadError("More than " + std::to_string(kMaxRedirects) +
                             " redirects (a redirect loop?) from \"" + Text(url.toString()) + "\"");
      }
      current = next;
    }
  } catch (...) {
    if (OnWork) OnWork(false);
    throw;
  }
  if (OnWork) OnWork(false);
}

std::optional<QUrl> THttpClient::Fetch(const QUrl& url, const TTransferLimits& limits,
                                       const QDeadlineTimer& deadline,
                                       const std::function<void(const QByteArray&)>& sink) {
  QNetworkRequest request(url);
  request.setRawHeader("Accept", "text/html, */*");
  request.setRawHeader("User-Agent", "Mozilla/3.0 (compatible; Indy Library)");
  // The body as sent, so that its length can be held against Content-Length.
  request.setRawHeader("Accept-Encoding", "identity");
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  request.setTransferTimeout(static_cast<int>(limits.stall.count()));
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
  tls.setProtocol(QSsl::TlsV1_2OrLater);
  if (!FTrustedCAs.isEmpty()) tls.setCaCertificates(FTrustedCAs);
  request.setSslConfiguration(tls);

  std::optional<std::string> failure;  // set by the first problem seen
  QNetworkReply* reply = FManager.get(request);
  reply->setReadBufferSize(kReadBufferBytes);
  FReply = reply;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  auto fail = [&](std::string why) {
    if (!failure) failure = std::move(why);
    reply->abort();
  };
  const std::string overall =
      "No complete answer within " + std::to_string(limits.overall.count()) + " ms";
  connect(&timer, &QTimer::timeout, &loop, [&] { fail(overall); });
  auto isRedirect = [&] {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 300 && status < 400;
  };
  connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > limits.maxBytes) {
      fail("The answer is larger than " + std::to_string(limits.maxBytes) + " bytes");
    }
  });
  qint64 received = 0;
  connect(reply, &QNetworkReply::readyRead, &loop, [&] {
    if (failure) return;
    const QByteArray piece = reply->readAll();
    received += piece.size();
    if (received > limits.maxBytes) {
      fail("The answer is larger than " + std::to_string(limits.maxBytes) + " bytes");
      return;
    }
    // A redirect's own body is not part of the answer.
    if (isRedirect()) return;
    try {
      sink(piece);
    } catch (const std::exception& error) {
      fail(error.what());
    }
  });
  connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

  if (deadline.hasExpired()) {
    fail(overall);
  } else {
    timer.start(std::chrono::milliseconds(deadline.remainingTime()));
    if (!reply->isFinished()) loop.exec();
    timer.stop();
  }

  FReply = nullptr;
  reply->deleteLater();
  const QNetworkReply::NetworkError error = reply->error();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const std::string errorText = Text(reply->errorString());
  if (FCancelled) throw EDownloadError("Cancelled by the user");
  if (failure) throw EDownloadError(*failure);
  if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
    throw EDownloadError("No answer for " + std::to_string(limits.stall.count()) + " ms (" +
                         errorText + ")");
  }
  if (error != QNetworkReply::NoError) throw EDownloadError(errorText);
  const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
  if (isRedirect() && target.isValid()) return target;
  if (status < 200 || status > 299) {
    throw EDownloadError("HTTP status " + std::to_string(status) + " for \"" +
                         Text(reply->url().toString()) + "\"");
  }
  // A connection closed early can look like a clean end: the body counts
  // only when it is as long as the server said it would be.
  const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
  if (length.isValid() && length.toLongLong() != received) {
    throw EDownloadError("Incomplete answer: " + std::to_string(received) + " of " +
                         std::to_string(length.toLongLong()) + " bytes arrived");
  }
  return std::nullopt;
}

QByteArray THttpClient::Get(const QUrl& url, const TTransferLimits& limits) {
  QByteArray body;
  Run(url, limits, [&](const QByteArray& piece) { body.append(piece); });
  return body;
}

void THttpClient::GetToFile(const QUrl& url, const QString& path, const TTransferLimits& limits) {
  // QSaveFile writes beside the target under a temporary name and renames
  // only on commit; a failed or cancelled transfer leaves nothing behind.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    throw EDownloadError("Can't create \"" + Text(path) + "\": " + Text(file.errorString()));
  }
  Run(url, limits, [&](const QByteArray& piece) {
    if (file.write(piece) != piece.size()) {
      throw EDownloadError("Can't write \"" + Text(path) + "\": " + Text(file.errorString()));
    }
  });
  if (!file.commit()) {
    throw EDownloadError("Can't write \"" + Text(path) + "\": " + Text(file.errorString()));
  }
}

}  // namespace launcher
