// The HTTPS client's limits against the test site: every wait ends, every
// body is capped, a file appears only when its body is complete.

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "RunProcess.h"
#include "TestSite.h"
#include "launcher/HttpClient.h"

namespace {

using namespace std::chrono_literals;
using launcher::EDownloadError;
using launcher::TTransferLimits;
using launchertest::TestSite;

struct LimitCase {
  const char* name;
  std::function<void(TestSite&)> prepare;  // what the site does at /f
  TTransferLimits limits;
  const char* errorPart;  // nullptr: the body arrives whole
};
void PrintTo(const LimitCase& row, std::ostream* out) { *out << row.name; }

class HttpClientLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(HttpClientLimits, EndEveryTransfer) {
  TestSite site;
  GetParam().prepare(site);
  launcher::THttpClient http(TestSite::TrustedCAs());
  testsupport::TempDir dir;
  const QString target = QString::fromStdString((dir / "out.bin").string());
  bool began = false, ended = false;
  http.OnWork = [&](bool begins) { (begins ? began : ended) = true; };

  if (GetParam().errorPart) {
    try {
      http.GetToFile(QUrl(QString::fromStdString(site.Url("/f"))), target, GetParam().limits);
      ADD_FAILURE() << "no error";
    } catch (const EDownloadError& error) {
      EXPECT_NE(std::string(error.what()).find(GetParam().errorPart), std::string::npos)
          << error.what();
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "a partial body was left behind";
  } else {
    http.GetToFile(QUrl(QString::fromStdString(site.Url("/f"))), target, GetParam().limits);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "out.bin"),
              testsupport::ReadFileBytes(site.Root() / "body"));
  }
  EXPECT_TRUE(began && ended) << "the download bar is shown and hidden again";
}

void Drip(TestSite& site) {
  site.Put("body", std::string(2000, 'd'));
  // A byte every 50 ms: never a stall, but 100 s in all.
  site.Route("/f", R"({"file": "body", "chunk": 1, "pause": 0.05})");
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HttpClientLimits,
    ::testing::Values(LimitCase{"WholeBody",
                                [](TestSite& s) {
                                  s.Put("body", std::string(300000, 'b'));
                                  s.Route("/f", R"({"file": "body"})");
                                },
                                {.stall = 3000ms, .overall = 10000ms, .maxBytes = 300000},
                                nullptr},
                      LimitCase{"DripFeedEndsAtTheOverallDeadline",
                                Drip,
                                {.stall = 3000ms, .overall = 1000ms, .maxBytes = 1 << 20},
                                "No complete answer within 1000 ms"},
                      LimitCase{"SilenceEndsAtTheStallTimeOut",
                                [](TestSite& s) { s.Route("/f", R"({"stall": true})"); },
                                {.stall = 500ms, .overall = 10000ms, .maxBytes = 1 << 20},
                                "No answer for 500 ms"},
                      LimitCase{"DeclaredLengthOverTheCap",
                                [](TestSite& s) {
                                  s.Put("body", std::string(5000, 'b'));
                                  s.Route("/f", R"({"file": "body"})");
                                },
                                {.stall = 3000ms, .overall = 10000ms, .maxBytes = 4999},
                                "larger than 4999 bytes"},
                      LimitCase{"TruncatedBody",
                                [](TestSite& s) {
                                  s.Put("body", std::string(100000, 'b'));
                                  s.Route("/f", R"({"file": "body", "truncate": 10})");
                                },
                                {.stall = 3000ms, .overall = 10000ms, .maxBytes = 1 << 20},
                                ""}),
    [](const auto& info) { return std::string(info.param.name); });

// At full loopback speed the installer download keeps at most a few MiB in
// memory: the launcher's client alone, in a process of its own, peaks far
// below the body's size.
TEST(HttpClientMemory, HundredsOfMiBAtFullSpeedStayUnderOneHundredMB) {
  constexpr std::uintmax_t kBody = std::uintmax_t{300} << 20;
  TestSite site;
  site.Route("/big", R"({"zeros": )" + std::to_string(kBody) + "}");
  testsupport::TempDir dir;
  // AddressSanitizer keeps freed memory for a while (256 MB by default),
  // which would be counted as the client's own. The probe measures memory,
  // not leaks: OpenSSL's per-thread error state of Qt's network thread is
  // still held at exit now and then, which LeakSanitizer would fail the probe for.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asanOptions =
      (asan ? std::string(asan) + ":" : "") + "quarantine_size_mb=4:detect_leaks=0";

  const auto result = testsupport::RunProcess(
      {(testsupport::BinDir() / "launcher_download_probe").string(), site.Url("/big"),
       (dir / "setup.bin").string(), TestSite::CaFile().string()},
      {{"ASAN_OPTIONS", asanOptions}});

  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(std::filesystem::file_size(dir / "setup.bin"), kBody);
  ASSERT_EQ(result.out.rfind("VmHWM ", 0), 0u) << result.out;
  const long peakKb = std::stol(result.out.substr(6));
  EXPECT_LT(peakKb, 100 * 1000) << "peak resident memory " << peakKb << " kB";
  RecordProperty("VmHWM_kB", std::to_string(peakKb));
}

}  // namespace
