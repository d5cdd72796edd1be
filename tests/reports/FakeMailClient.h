#pragma once
// A recording mail client for tests: a mailto handler registered through
// xdg-mime in an isolated home, which writes the link it is given to a file
// and ends with a chosen exit status. Also the environment that makes
// xdg-email use it: a display to be found, no desktop of its own, no
// browser to fall back on, and no mail client of the machine's own.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"

namespace testsupport {

struct ReceivedMail {
  std::string to;
  std::string subject;
  std::vector<std::string> bodyLines;
  std::vector<std::string> attachments;
};

// The parts of a mailto link, percent-decoded; the body split at its line breaks.
ReceivedMail ParseMailto(const std::string& aLink);

class MailEnvironment {
 public:
  MailEnvironment();

 private:
  ScopedEnv display_, browser_, desktop_, session_, mailer_, kde_, gnome_, dataDirs_, configDirs_;
};

class FakeMailClient {
 public:
  // Registers the client as the mailto handler of home (whose XDG folders
  // the environment must already name).
  explicit FakeMailClient(const std::filesystem::path& home, int exitStatus = 0);
  bool Received() const;
  std::string Link() const;  // the link as given
  ReceivedMail Mail() const { return ParseMailto(Link()); }
  const std::filesystem::path& RecordFile() const { return record_; }

 private:
  std::filesystem::path record_;
};

// Runs a Python zipfile check of the archive; one line per member:
// "name compression=8 encrypted=0 ok=1 size=N", then "testzip=None".
std::string ZipFileFacts(const std::filesystem::path& archive);
// unzip -t's exit status.
int UnzipTest(const std::filesystem::path& archive);

}  // namespace testsupport
