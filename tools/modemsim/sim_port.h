// modemsim's port: a pseudo-terminal, and the link that names it for the
// programs that open the modem.
#pragma once

#include <optional>
#include <string>

struct Port {
  int master = -1;
  std::string device;
  std::string link;  // empty for none
};

// The port, linked at `link` unless that is empty, the link replaced in one
// step; nothing, having said why, when either fails.
std::optional<Port> OpenPort(const std::string& link);
// Removes the link unless a simulator started since has taken it over.
void RemoveOwnLink(const Port& port);
