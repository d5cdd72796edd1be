#include "TestSite.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <fstream>
#include <stdexcept>

#include "RunProcess.h"

namespace launchertest {

namespace {

// Made once per test program: key generation is the slow part.
const testsupport::TempDir& Pki() {
  static const testsupport::TempDir dir;
  static const bool made = [] {
    const auto result = testsupport::RunProcess(
        {"/bin/sh", LAUNCHER_TEST_DIR "/make_test_pki.sh", dir.path().string()});
    if (result.exitCode != 0) throw std::runtime_error("make_test_pki.sh failed: " + result.err);
    return true;
  }();
  (void)made;
  return dir;
}

}  // namespace

TestSite::TestSite(Certificate certificate) {
  const std::string prefix = certificate == Certificate::Rogue ? "rogue-" : "";
  const auto pki = Pki().path();
  FServer.setProgram(QStringLiteral("/usr/bin/python3"));
  FServer.setArguments({QStringLiteral(LAUNCHER_TEST_DIR "/https_site.py"),
                        QString::fromStdString((pki / (prefix + "server.pem")).string()),
                        QString::fromStdString((pki / (prefix + "server.key")).string()),
                        QString::fromStdString(FRoot.path().string())});
  FServer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FServer.start();
  if (!FServer.waitForStarted(10000)) throw std::runtime_error("https_site.py did not start");
  while (!FServer.canReadLine()) {
    if (!FServer.waitForReadyRead(20000)) throw std::runtime_error("https_site.py printed no port");
  }
  const QByteArray line = FServer.readLine().trimmed();
  FPort = line.mid(5).toInt();
  if (!line.startsWith("PORT ") || FPort <= 0)
    throw std::runtime_error("https_site.py: bad port line");
}

TestSite::~TestSite() {
  FServer.kill();
  FServer.waitForFinished(5000);
}

std::string TestSite::Url(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(FPort) + path;
}

void TestSite::Put(const std::string& name, const std::string& bytes) const {
  std::filesystem::create_directories((FRoot / name).parent_path());
  testsupport::WriteFileBytes(FRoot / name, bytes);
}

void TestSite::Route(const std::string& path, const std::string& json) {
  FRoutes[path] = json;
  std::string all = "{";
  for (const auto& [p, j] : FRoutes) all += (all.size() > 1 ? ", \"" : "\"") + p + "\": " + j;
  testsupport::WriteFileBytes(FRoot / "routes.json", all + "}");
}

std::vector<std::string> TestSite::Requests() const {
  std::vector<std::string> lines;
  std::ifstream log(FRoot / "requests.log");
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

std::filesystem::path TestSite::CaFile() { return Pki().path() / "ca.pem"; }

QList<QSslCertificate> TestSite::TrustedCAs() {
  return QSslCertificate::fromPath(QString::fromStdString(CaFile().string()));
}

std::filesystem::path RecordStartProgram() {
  return testsupport::BinDir() / "launcher_record_start";
}

bool WaitForStart(const std::filesystem::path& program) {
  QElapsedTimer clock;
  clock.start();
  const std::filesystem::path record = program.string() + ".started";
  while (!std::filesystem::exists(record)) {
    if (clock.elapsed() > 20000) return false;
    QThread::msleep(20);
  }
  return true;
}

}  // namespace launchertest
