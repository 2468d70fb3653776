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
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

#include "program.h"
#include "sim_modem.h"

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

bool ReadScenario(const char* path, Script* script) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) script->lines.push_back(line);
  return !file.bad() && file.eof();
}

// The pseudo-terminal's master, and its slave held open so that the
// master never sees a hang-up while no one else has the port open.
int OpenPort(std::string* slave_path) {
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

// Console lines as they are typed.
bool ReadConsole(std::string* typed, Script* console) {
  char chunk[512];
  ssize_t n = read(0, chunk, sizeof chunk);
  if (n <= 0) return false;
  typed->append(chunk, static_cast<size_t>(n));
  for (size_t end; (end = typed->find('\n')) != std::string::npos; typed->erase(0, end + 1))
    console->lines.push_back(typed->substr(0, end));
  return true;
}

// The modem at work until "quit", or until the console has ended and the
// scenario is done.
void Serve(SimModem& modem, int port, Script& scenario) {
  Script console;
  bool console_open = true;
  std::string typed;
  for (;;) {
    Millis now = MonotonicMs();
    if (!RunDue(scenario, modem, now) || !RunDue(console, modem, now)) return;
    modem.Tick(now);
    if (!console_open && scenario.Done()) return;

    Millis next = std::min({modem.NextEvent(), ResumeTime(scenario), ResumeTime(console)});
    int timeout =
        next == INT64_MAX ? -1 : static_cast<int>(std::clamp<Millis>(next - now, 0, INT_MAX));
    pollfd watch[2] = {{port, POLLIN, 0}, {console_open ? 0 : -1, POLLIN, 0}};
    poll(watch, 2, timeout);
    char chunk[512];
    ssize_t n;
    if (watch[0].revents && (n = read(port, chunk, sizeof chunk)) > 0)
      modem.FromLine(std::string_view(chunk, static_cast<size_t>(n)), MonotonicMs());
    if (watch[1].revents) console_open = ReadConsole(&typed, &console);
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
  if (options->scenario != nullptr && !ReadScenario(options->scenario, &scenario)) {
    perror(options->scenario);
    return 1;
  }
  std::string device;
  int port = OpenPort(&device);
  if (port < 0) {
    perror("modemsim: pseudo-terminal");
    return 1;
  }
  const std::string& link = options->link;
  if (!link.empty() && !LinkAt(device, link)) {
    perror(link.c_str());
    return 1;
  }
  printf("modemsim: device %s%s%s, profile %.*s\n", device.c_str(),
         link.empty() ? "" : " linked at ", link.c_str(),
         static_cast<int>(options->profile->name.size()), options->profile->name.data());

  // With no one reading the port, what the modem says is lost, as on a line.
  SimModem modem(*options->profile, [port](std::string_view bytes) {
    if (write(port, bytes.data(), bytes.size()) < 0) return;
  });
  Serve(modem, port, scenario);
  // A simulator started since may have taken the link over.
  char target[PATH_MAX] = "";
  if (!link.empty() && readlink(link.c_str(), target, sizeof target - 1) > 0 && device == target)
    unlink(link.c_str());
  return 0;
}
