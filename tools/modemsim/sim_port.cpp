#include "sim_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace {

// The pseudo-terminal's master, and its slave held open so that the
// master never sees a hang-up while no one else has the port open.
int OpenPseudoTerminal(std::string* slave_path) {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
  *slave_path = ptsname(master);
  int slave = open(slave_path->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw;
  if (slave < 0 || tcgetattr(slave, &raw) != 0) return -1;
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  return master;
}

// Replaces link in one step, so that a reader never finds it missing.
bool LinkAt(const std::string& target, const std::string& link) {
  std::string temporary = link + ".new";
  unlink(temporary.c_str());
  return symlink(target.c_str(), temporary.c_str()) == 0 &&
         rename(temporary.c_str(), link.c_str()) == 0;
}

}  // namespace

std::optional<Port> OpenPort(const std::string& link) {
  Port port;
  port.link = link;
  port.master = OpenPseudoTerminal(&port.device);
  if (port.master < 0) {
    perror("modemsim: pseudo-terminal");
    return std::nullopt;
  }
  if (!link.empty() && !LinkAt(port.device, link)) {
    perror(link.c_str());
    return std::nullopt;
  }
  return port;
}

void RemoveOwnLink(const Port& port) {
  char target[PATH_MAX] = "";
  if (!port.link.empty() && readlink(port.link.c_str(), target, sizeof target - 1) > 0 &&
      port.device == target)
    unlink(port.link.c_str());
}
