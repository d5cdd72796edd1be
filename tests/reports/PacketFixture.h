#pragma once
// Fixtures of the packet and mail tests: an isolated home with its own
// temporary and data folders, and a listener on the progress composite.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "reports/uProgress.h"

namespace reportstest {

namespace fs = std::filesystem;

inline const std::string kItemName = "err.log file of Velmora Free";

// An isolated home whose temporary folder ($TMPDIR) and data folder are inside it.
class PacketFixture : public ::testing::Test {
 protected:
  PacketFixture() : tmp_("TMPDIR", (home_.home() / "tmp").string()) {
    fs::create_directories(home_.home() / "tmp");
    fs::create_directories(data_);
  }
  fs::path PrivateFolder() const {
    return home_.home() / "tmp" / ("velmora-free-" + std::to_string(::getuid()));
  }
  void Write(const fs::path& relative, const std::string& bytes) {
    fs::create_directories((data_ / relative).parent_path());
    testsupport::WriteFileBytes(data_ / relative, bytes);
  }
  static unsigned Mode(const fs::path& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 07777;
  }

  testsupport::IsolatedHome home_;
  testsupport::ScopedEnv tmp_;
  fs::path data_ = home_.home() / "data";
};

// What the composite hears while an archive is written.
class Listener final : public TNullProgress {
 public:
  void StartProgress(const std::string& aText, std::int64_t aCount) override {
    TNullProgress::StartProgress(aText, aCount);
    calls.push_back("Start " + aText + " " + std::to_string(aCount));
  }
  void DoProgress(std::int64_t aPosition) override { positions.push_back(aPosition); }
  void ShowMessage(const std::string& aText) override { calls.push_back(aText); }
  void ShowError(const std::string& aText) override { calls.push_back("Error " + aText); }
  void CloseProgress() override {
    TNullProgress::CloseProgress();
    calls.push_back("Close");
  }
  bool IsCanceled() override { return cancel; }
  std::vector<std::string> calls;
  std::vector<std::int64_t> positions;
  bool cancel = false;
};

class ProgressFixture : public PacketFixture {
 protected:
  ProgressFixture() { GetMultiProgress()->Add({listener_}); }
  ~ProgressFixture() override { GetMultiProgress()->Remove({listener_}); }
  std::shared_ptr<Listener> listener_ = std::make_shared<Listener>();
};

}  // namespace reportstest
