// Downloads one https address into a file through the launcher's HTTPS
// client, with the installer's limits, and prints the process's peak memory.
//
// usage: launcher_download_probe URL FILE CA-FILE
// prints "VmHWM <kB>" and exits 0, or prints the error and exits 1.

#include <QCoreApplication>
#include <QSslCertificate>
#include <QUrl>

#include <fstream>
#include <iostream>
#include <string>

#include "launcher/HttpClient.h"
#include "launcher/uMain.h"

namespace {

// The peak resident set of this process, in kB, from /proc.
std::string PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::to_string(std::stol(line.substr(6)));
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) {
    std::cerr << "usage: launcher_download_probe URL FILE CA-FILE\n";
    return 2;
  }
  launcher::THttpClient http(QSslCertificate::fromPath(QString::fromLocal8Bit(argv[3])));
  try {
    http.GetToFile(QUrl(QString::fromLocal8Bit(argv[1])), QString::fromLocal8Bit(argv[2]),
                   kInstallerLimits);
  } catch (const std::exception& error) {
    std::cout << error.what() << "\n";
    return 1;
  }
  std::cout << "VmHWM " << PeakResidentKb() << "\n";
  return 0;
}
