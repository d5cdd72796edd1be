#include "launcher/HttpClient.h"

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
  QNetworkRequest request(url);
  request.setRawHeader("Accept", "text/html, */*");
  request.setRawHeader("User-Agent", "Mozilla/3.0 (compatible; Indy Library)");
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  request.setTransferTimeout(static_cast<int>(limits.stall.count()));
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
  tls.setProtocol(QSsl::TlsV1_2OrLater);
  if (!FTrustedCAs.isEmpty()) tls.setCaCertificates(FTrustedCAs);
  request.setSslConfiguration(tls);

  FCancelled = false;
  std::optional<std::string> failure;  // set by the first problem seen
  QNetworkReply* reply = FManager.get(request);
  FReply = reply;
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  auto fail = [&](std::string why) {
    if (!failure) failure = std::move(why);
    reply->abort();
  };
  connect(&deadline, &QTimer::timeout, &loop, [&] {
    fail("No complete answer within " + std::to_string(limits.overall.count()) + " ms");
  });
  connect(reply, &QNetworkReply::redirected, &loop, [&](const QUrl& target) {
    if (target.scheme() == QLatin1String("https")) {
      emit reply->redirectAllowed();
    } else {
      fail("Redirect to a non-https address refused: \"" + Text(target.toString()) + "\"");
    }
  });
  connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > limits.maxBytes) {
      fail("The answer is larger than " + std::to_string(limits.maxBytes) + " bytes");
    }
  });
  qint64 received = 0;
  connect(reply, &QNetworkReply::readyRead, &loop, [&] {
    if (failure) return;
    // Redirect bodies are not part of the answer.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray piece = reply->readAll();
    if (status >= 300 && status < 400) return;
    received += piece.size();
    if (received > limits.maxBytes) {
      fail("The answer is larger than " + std::to_string(limits.maxBytes) + " bytes");
      return;
    }
    try {
      sink(piece);
    } catch (const std::exception& error) {
      fail(error.what());
    }
  });
  connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

  if (OnWork) OnWork(true);
  deadline.start(limits.overall);
  if (!reply->isFinished()) loop.exec();
  deadline.stop();
  if (OnWork) OnWork(false);

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
  if (status < 200 || status > 299) {
    throw EDownloadError("HTTP status " + std::to_string(status) + " for \"" +
                         Text(reply->url().toString()) + "\"");
  }
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
