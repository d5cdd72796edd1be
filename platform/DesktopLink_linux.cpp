#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

#include "platform/DesktopLink.h"

extern char** environ;

namespace platform {

bool OpenLinkDetached(const std::string& aLink) {
  // xdg-open may wait for the browser it starts; a shell puts it in the
  // background and ends at once, so the child is reaped here and the opener
  // lives on its own. The link is an argument, never part of the script.
  std::string shell = "/bin/sh", flag = "-c", script = "xdg-open \"$1\" >/dev/null 2>&1 &",
              name = "velmora-open", link = aLink;
  std::vector<char*> argv = {shell.data(), flag.data(), script.data(),
                             name.data(),  link.data(), nullptr};
  pid_t child = 0;
  if (::posix_spawn(&child, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
