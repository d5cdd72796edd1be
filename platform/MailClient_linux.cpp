// The mail hand-off through xdg-email, which starts the user's mail client
// (the x-scheme-handler/mailto of xdg-mime, or the desktop's own) with the
// address, subject, body and attachments. It is run as a child whose exit
// status is read: the toolkits' "open URL" calls report success even when
// nothing was opened.

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "platform/MailClient.h"

extern char** environ;

namespace platform {

namespace {

// xdg-email's exit statuses (xdg-utils), 3 being "no method available".
std::string ExitText(int aStatus) {
  switch (aStatus) {
    case 1:
      return "Error in command line syntax";
    case 2:
      return "One of the files passed on the command line did not exist";
    case 4:
      return "The action failed";
    case 5:
      return "No permission to read one of the files passed on the command line";
    default:
      return "The mail client ended with an error";
  }
}

}  // namespace

void HandToMailClient(const TMailMessage& aMessage) {
  std::vector<std::string> args = {"xdg-email",      "--utf8", "--subject",
                                   aMessage.Subject, "--body", aMessage.Body};
  for (const std::string& file : aMessage.Attachments) {
    args.push_back("--attach");
    args.push_back(file);
  }
  args.push_back(aMessage.Recipient);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t child = 0;
  const int spawned = ::posix_spawnp(&child, "xdg-email", nullptr, nullptr, argv.data(), environ);
  if (spawned == ENOENT) throw EMailException(NoMailClientText);
  if (spawned != 0) {
    throw EMailException(std::string("The mail client cannot be started: ") +
                         std::strerror(spawned));
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR)
      throw EMailException("The mail client was lost: " + std::string(std::strerror(errno)));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) throw EMailException(NoMailClientText);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  throw EMailException("MAPI Error: (" + std::to_string(code) + ") \"" + ExitText(code) + "\"");
}

}  // namespace platform
