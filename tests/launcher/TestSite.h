#pragma once
// The launcher's test web site: https_site.py on 127.0.0.1 with a
// certificate of the test authority (or of a rogue one), started per test.

#include <QProcess>
#include <QSslCertificate>
#include <QString>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TempDir.h"

namespace launchertest {

class TestSite {
 public:
  enum class Certificate { Trusted, Rogue };
  explicit TestSite(Certificate certificate = Certificate::Trusted);
  ~TestSite();

  // "https://127.0.0.1:<port><path>"
  std::string Url(const std::string& path) const;
  // Serves bytes at /name.
  void Put(const std::string& name, const std::string& bytes) const;
  // Gives a path special behaviour (see https_site.py), as a JSON object text.
  void Route(const std::string& path, const std::string& json);
  // The paths asked for so far.
  std::vector<std::string> Requests() const;
  const std::filesystem::path& Root() const { return FRoot.path(); }

  // The test authority: what the launcher is told to trust.
  static std::filesystem::path CaFile();
  static QList<QSslCertificate> TrustedCAs();

 private:
  testsupport::TempDir FRoot;
  QProcess FServer;
  int FPort = 0;
  std::map<std::string, std::string> FRoutes;
};

// The built stand-in program that records its start (RecordStart.cpp).
std::filesystem::path RecordStartProgram();
// Whether the program at path was started: waits for its record up to 20 s.
bool WaitForStart(const std::filesystem::path& program);

}  // namespace launchertest
