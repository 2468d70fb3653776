// modemsim: a GSM modem on a pseudo-terminal, to stand in for the real one
// under modembridge or ModemManager.
//
//   modemsim [-l LINK] [-p PROFILE] [SCENARIO]
//
// Prints the device to open (and links it at LINK, replacing what was
// there). PROFILE names the modem to play (usage lists them). Console
// commands come one a line on standard input ("help" lists them); a scenario
// file holds the same commands, "wait SECONDS" between them, and runs first.
// The simulator ends on "quit", or when the console input has ended and the
// scenario is done.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "program.h"
#include "sim_modem.h"
#include "sim_port.h"

namespace {

struct Options {
  std::string link;
  const Profile* profile = &Profiles().front();
  const char* scenario = nullptr;
};

// Commands to run in order, some of them waits.
struct Script {
  std::vector<std::string> lines;
  size_t next = 0;
  Millis resume_at = 0;
  bool Done() const { return next >= lines.size(); }
};

void Usage() {
  fputs("usage: modemsim [-l LINK] [-p PROFILE] [SCENARIO]\nprofiles:\n", stderr);
  for (const Profile& profile : Profiles())
    fprintf(stderr, "  %-8.*s %.*s\n", static_cast<int>(profile.name.size()), profile.name.data(),
            static_cast<int>(profile.summary.size()), profile.summary.data());
}

std::optional<Options> ParseArguments(int argc, char** argv) {
  Options options;
  for (int option; (option = getopt(argc, argv, "l:p:")) != -1;) {
    if (option == 'l') options.link = optarg;
    else if (option == 'p' && FindProfile(optarg) != nullptr) options.profile = FindProfile(optarg);
    else return std::nullopt;
  }
  if (optind < argc) options.scenario = argv[optind++];
  if (optind < argc) return std::nullopt;
  return options;
}

// The scenario's commands, none without one; false, having said why, when
// the file cannot be read.
bool ReadScenario(const char* path, Script* script) {
  if (path == nullptr) return true;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) script->lines.push_back(line);
  if (!file.bad() && file.eof()) return true;
  perror(path);
  return false;
}

void Announce(const Port& port, const Profile& profile) {
  printf("modemsim: device %s%s%s, profile %.*s\n", port.device.c_str(),
         port.link.empty() ? "" : " linked at ", port.link.c_str(),
         static_cast<int>(profile.name.size()), profile.name.data());
}

// Runs the commands that are due; false once one of them was "quit".
bool RunDue(Script& script, SimModem& modem, Millis now) {
  while (!script.Done() && now >= script.resume_at) {
    std::string line = script.lines[script.next++];
    line.erase(0, line.find_first_not_of(" \t"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (line.empty() || line[0] == '#') continue;
    if (line == "quit") return false;
    if (line.starts_with("wait "))
      script.resume_at = now + static_cast<Millis>(atof(line.c_str() + 5) * 1000);
    else modem.Console(line, now);
  }
  return true;
}

Millis ResumeTime(const Script& script) { return script.Done() ? INT64_MAX : script.resume_at; }

// The commands typed on standard input, run as their lines end.
struct Console {
  Script script;
  std::string typed;  // a line begun and not ended yet
  bool open = true;

  // Takes what has been typed; the console closes when its input ends.
  void Read() {
    char chunk[512];
    ssize_t n = read(0, chunk, sizeof chunk);
    open = n > 0;
    if (!open) return;
    typed.append(chunk, static_cast<size_t>(n));
    for (size_t end; (end = typed.find('\n')) != std::string::npos; typed.erase(0, end + 1))
      script.lines.push_back(typed.substr(0, end));
  }
};

// Milliseconds until `next` for poll, -1 for never.
int PollTimeout(Millis next, Millis now) {
  return next == INT64_MAX ? -1 : static_cast<int>(std::clamp<Millis>(next - now, 0, INT_MAX));
}

// What the port's user wrote, to the modem.
void PassPortInput(int port, SimModem& modem) {
  char chunk[512];
  ssize_t n = read(port, chunk, sizeof chunk);
  if (n > 0) modem.FromLine(std::string_view(chunk, static_cast<size_t>(n)), MonotonicMs());
}

// The modem at work until "quit", or until the console has ended and the
// scenario is done.
void Serve(SimModem& modem, int port, Script& scenario) {
  Console console;
  for (;;) {
    Millis now = MonotonicMs();
    if (!RunDue(scenario, modem, now) || !RunDue(console.script, modem, now)) return;
    modem.Tick(now);
    if (!console.open && scenario.Done()) return;

    Millis next = std::min({modem.NextEvent(), ResumeTime(scenario), ResumeTime(console.script)});
    pollfd watch[2] = {{port, POLLIN, 0}, {console.open ? 0 : -1, POLLIN, 0}};
    poll(watch, 2, PollTimeout(next, now));
    if (watch[0].revents) PassPortInput(port, modem);
    if (watch[1].revents) console.Read();
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> options = ParseArguments(argc, argv);
  if (!options) {
    Usage();
    return 1;
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);
  Script scenario;
  if (!ReadScenario(options->scenario, &scenario)) return 1;
  std::optional<Port> port = OpenPort(options->link);
  if (!port) return 1;
  Announce(*port, *options->profile);

  // With no one reading the port, what the modem says is lost, as on a line.
  SimModem modem(*options->profile, [master = port->master](std::string_view bytes) {
    if (write(master, bytes.data(), bytes.size()) < 0) return;
  });
  Serve(modem, port->master, scenario);
  RemoveOwnLink(*port);
  return 0;
}
