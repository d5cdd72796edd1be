#include "FakeMailClient.h"

#include <sys/stat.h>

#include <stdexcept>

#include "RunProcess.h"

namespace testsupport {

namespace {

std::string PercentDecode(const std::string& aText) {
  std::string result;
  for (std::size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] == '%' && i + 2 < aText.size()) {
      result += static_cast<char>(std::stoi(aText.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      result += aText[i];
    }
  }
  return result;
}

std::vector<std::string> Split(const std::string& aText, const std::string& aSeparator) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at; (at = aText.find(aSeparator, from)) != std::string::npos;
       from = at + aSeparator.size()) {
    parts.push_back(aText.substr(from, at - from));
  }
  parts.push_back(aText.substr(from));
  return parts;
}

}  // namespace

ReceivedMail ParseMailto(const std::string& aLink) {
  ReceivedMail mail;
  if (!aLink.starts_with("mailto:")) return mail;
  const std::string rest = aLink.substr(7);
  const std::size_t query = rest.find('?');
  mail.to = PercentDecode(rest.substr(0, query));
  if (query == std::string::npos) return mail;
  for (const std::string& pair : Split(rest.substr(query + 1), "&")) {
    const std::size_t eq = pair.find('=');
    const std::string name = pair.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : PercentDecode(pair.substr(eq + 1));
    if (name == "subject") mail.subject = value;
    if (name == "body") mail.bodyLines = Split(value, "\r\n");
    if (name == "attach") mail.attachments.push_back(value);
  }
  return mail;
}

// xdg-open hands links to their scheme's handler only when a display is
// there; the mail clients it starts are windows.
MailEnvironment::MailEnvironment()
    : display_("DISPLAY", std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ":velmora-test"),
      browser_("BROWSER", "/nonexistent/velmora-test-browser"),
      desktop_("XDG_CURRENT_DESKTOP", ""),
      session_("DESKTOP_SESSION", ""),
      mailer_("MAILER", ""),
      kde_("KDE_FULL_SESSION", ""),
      gnome_("GNOME_DESKTOP_SESSION_ID", ""),
      dataDirs_("XDG_DATA_DIRS", "/nonexistent/velmora-test-data"),
      configDirs_("XDG_CONFIG_DIRS", "/nonexistent/velmora-test-config") {}

FakeMailClient::FakeMailClient(const std::filesystem::path& home, int exitStatus)
    : record_(home / "received-mail.txt") {
  const std::filesystem::path script = home / "recording-mail-client";
  WriteFileBytes(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + record_.string() + "'\nexit " +
                             std::to_string(exitStatus) + "\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const std::filesystem::path applications = home / ".local/share/applications";
  std::filesystem::create_directories(applications);
  WriteFileBytes(applications / "velmora-recording-mail.desktop",
                 "[Desktop Entry]\nType=Application\nName=Recording mail client\nExec=" +
                     script.string() + " %u\nMimeType=x-scheme-handler/mailto;\n");
  const ProcessResult r = RunProcess(
      {"xdg-mime", "default", "velmora-recording-mail.desktop", "x-scheme-handler/mailto"});
  if (r.exitCode != 0) throw std::runtime_error("xdg-mime failed: " + r.err);
}

bool FakeMailClient::Received() const { return std::filesystem::exists(record_); }

std::string FakeMailClient::Link() const { return Received() ? ReadFileBytes(record_) : ""; }

std::string ZipFileFacts(const std::filesystem::path& archive) {
  static const char* const kScript = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        data = z.read(i)
        print(f"{i.filename} compression={i.compress_type} encrypted={i.flag_bits & 1} size={len(data)}")
    print(f"testzip={z.testzip()}")
)";
  const ProcessResult r = RunProcess({"python3", "-c", kScript, archive.string()});
  if (r.exitCode != 0) return "python zipfile failed: " + r.err;
  return r.out;
}

int UnzipTest(const std::filesystem::path& archive) {
  return RunProcess({"unzip", "-tq", archive.string()}).exitCode;
}

}  // namespace testsupport
