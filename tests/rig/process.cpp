#include "process.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace rig {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineAfter(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(seconds));
}

// Milliseconds left until deadline, at most one slice, never negative.
int SliceUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                  deadline - Clock::now())
                  .count();
  if (left < 0) return 0;
  return left > 100 ? 100 : static_cast<int>(left);
}

std::vector<std::string> MergedEnvironment(const EnvVars& extra) {
  std::vector<std::string> merged;
  for (char** e = environ; *e; ++e) {
    std::string_view entry(*e);
    bool overridden = false;
    for (const auto& [name, value] : extra)
      if (entry.substr(0, entry.find('=')) == name) overridden = true;
    if (!overridden) merged.emplace_back(entry);
  }
  for (const auto& [name, value] : extra) merged.push_back(name + "=" + value);
  return merged;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

void WriteAll(int fd, const char* text) {
  if (write(fd, text, strlen(text)) < 0) return;
}

// Runs in the forked child: only async-signal-safe calls.
[[noreturn]] void ExecChild(int in, int out, int err, const char* dir,
                            char** argv, char** envp) {
  setpgid(0, 0);
  // The program starts as from a shell, not with the test's SIGPIPE ignored.
  signal(SIGPIPE, SIG_DFL);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  if (dir[0] && chdir(dir) != 0) {
    WriteAll(2, "rig: cannot enter working directory\n");
    _exit(127);
  }
  execve(argv[0], argv, envp);
  WriteAll(2, "rig: cannot start ");
  WriteAll(2, argv[0]);
  WriteAll(2, "\n");
  _exit(127);
}

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Reads everything available now into buffer; closes fd at end of stream.
void Drain(int& fd, std::string& buffer) {
  char chunk[4096];
  while (fd >= 0) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      buffer.append(chunk, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      if (n == 0 || errno != EAGAIN) CloseFd(fd);
      return;
    }
  }
}

}  // namespace

Process::Process(std::vector<std::string> argv, const EnvVars& env,
                 const std::string& working_dir)
    : argv_(std::move(argv)) {
  // A program that stops reading must make Write() fail, not kill the test.
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (argv_.empty() || pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) ||
      pipe2(err, O_CLOEXEC)) {
    ADD_FAILURE() << "rig: cannot set up pipes for a program";
    reaped_ = true;
    return;
  }
  std::vector<std::string> env_texts = MergedEnvironment(env);
  std::vector<char*> envp = PointersTo(env_texts);
  std::vector<std::string> args = argv_;
  std::vector<char*> argp = PointersTo(args);

  pid_ = fork();
  if (pid_ == 0)
    ExecChild(in[0], out[1], err[1], working_dir.c_str(), argp.data(), envp.data());
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_fd_ = in[1];
  out_fd_ = out[0];
  err_fd_ = err[0];
  if (pid_ < 0) {
    ADD_FAILURE() << "rig: fork failed for " << Name();
    CloseFd(in_fd_);
    CloseFd(out_fd_);
    CloseFd(err_fd_);
    reaped_ = true;
    return;
  }
  setpgid(pid_, pid_);  // also here, so Kill() works before the child runs
  SetNonBlocking(in_fd_);
  SetNonBlocking(out_fd_);
  SetNonBlocking(err_fd_);
}

Process::~Process() {
  // Also after the program ended: children it left behind go with it.
  if (pid_ > 0) kill(-pid_, SIGKILL);
  if (!reaped_) waitpid(pid_, nullptr, 0);
  CloseFd(in_fd_);
  CloseFd(out_fd_);
  CloseFd(err_fd_);
}

std::string Process::Name() const {
  if (argv_.empty()) return "(no program)";
  return argv_[0].substr(argv_[0].rfind('/') + 1);
}

bool Process::Pump(int timeout_ms, bool want_write) {
  pollfd fds[3];
  nfds_t count = 0;
  if (out_fd_ >= 0) fds[count++] = {out_fd_, POLLIN, 0};
  if (err_fd_ >= 0) fds[count++] = {err_fd_, POLLIN, 0};
  if (want_write && in_fd_ >= 0) fds[count++] = {in_fd_, POLLOUT, 0};
  poll(fds, count, timeout_ms);
  Drain(out_fd_, out_);
  Drain(err_fd_, err_);
  return out_fd_ >= 0 || err_fd_ >= 0;
}

bool Process::Write(std::string_view bytes, double timeout) {
  auto deadline = DeadlineAfter(timeout);
  while (!bytes.empty()) {
    if (in_fd_ < 0) return false;
    ssize_t n = write(in_fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << "rig: " << Name() << " did not take its input within "
                    << timeout << " s";
      return false;
    }
    Pump(SliceUntil(deadline), true);
  }
  return true;
}

void Process::CloseStdin() { CloseFd(in_fd_); }

bool Process::WaitFor(const std::function<bool()>& done, double timeout) {
  auto deadline = DeadlineAfter(timeout);
  for (;;) {
    if (done()) return true;
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << "rig: " << Name() << ": awaited output did not come within "
                    << timeout << " s\n--- stdout ---\n"
                    << out_ << "\n--- stderr ---\n" << err_;
      return false;
    }
    if (!Pump(SliceUntil(deadline), false)) {
      if (done()) return true;
      ADD_FAILURE() << "rig: " << Name() << " closed its output before the awaited"
                    << " output came\n--- stdout ---\n"
                    << out_ << "\n--- stderr ---\n" << err_;
      return false;
    }
  }
}

bool Process::WaitForStdout(std::string_view text, double timeout) {
  return WaitFor([&] { return out_.find(text) != std::string::npos; }, timeout);
}

bool Process::WaitForStderr(std::string_view text, double timeout) {
  return WaitFor([&] { return err_.find(text) != std::string::npos; }, timeout);
}

bool Process::WaitForStdoutSize(size_t bytes, double timeout) {
  return WaitFor([&] { return out_.size() >= bytes; }, timeout);
}

bool Process::WaitForOutputEnd(double timeout) {
  auto deadline = DeadlineAfter(timeout);
  while (Pump(SliceUntil(deadline), false)) {
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << "rig: output of " << Name() << " still open after "
                    << timeout << " s";
      return false;
    }
  }
  return true;
}

bool Process::ReapIfEnded() {
  if (reaped_) return true;
  int status = 0;
  pid_t got = waitpid(pid_, &status, WNOHANG);
  if (got == 0 || (got < 0 && errno == EINTR)) return false;
  reaped_ = true;
  if (got == pid_ && WIFEXITED(status)) status_ = WEXITSTATUS(status);
  else if (got == pid_ && WIFSIGNALED(status)) status_ = 128 + WTERMSIG(status);
  return true;
}

int Process::WaitForExit(double timeout) {
  auto deadline = DeadlineAfter(timeout);
  while (!ReapIfEnded()) {
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << "rig: " << Name() << " did not end within " << timeout
                    << " s; killed\n--- stderr ---\n" << err_;
      Kill(SIGKILL);
      waitpid(pid_, nullptr, 0);
      reaped_ = true;
      status_ = kTimedOut;
      break;
    }
    Pump(SliceUntil(deadline), false);
  }
  Drain(out_fd_, out_);
  Drain(err_fd_, err_);
  return status_;
}

void Process::Kill(int sig) {
  if (pid_ > 0 && !reaped_) kill(-pid_, sig);
}

namespace {

// Calls `each` with every process whose parent is `parent` and its state
// letter; false when /proc cannot be read.
bool ForEachChild(pid_t parent, const std::function<void(pid_t, char)>& each) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  while (dirent* entry = readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid ...": the name may hold blanks and parentheses.
    size_t name_end = line.rfind(')');
    if (name_end == std::string::npos) continue;
    char state = 0;
    long ppid = 0;
    if (std::sscanf(line.c_str() + name_end + 1, " %c %ld", &state, &ppid) != 2) continue;
    if (ppid == parent) each(static_cast<pid_t>(std::atol(entry->d_name)), state);
  }
  closedir(proc);
  return true;
}

}  // namespace

int CountChildren(pid_t parent, bool only_zombies) {
  int count = 0;
  bool read = ForEachChild(parent, [&](pid_t, char state) {
    count += !only_zombies || state == 'Z';
  });
  return read ? count : -1;
}

int SignalChildren(pid_t parent, int signal) {
  int count = 0;
  ForEachChild(parent, [&](pid_t child, char) { count += kill(child, signal) == 0; });
  return count;
}

namespace {

bool Under(const std::filesystem::path& path, const std::string& folder) {
  const std::string text = path.string();
  return text.compare(0, folder.size(), folder) == 0 &&
         (text.size() == folder.size() || text[folder.size()] == '/');
}

// The names of a /proc directory's entries; none once it is gone.
std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(dir.c_str())) {
    while (dirent* entry = readdir(listing)) names.push_back(entry->d_name);
    closedir(listing);
  }
  return names;
}

bool Uses(const std::string& proc, const std::string& folder) {
  std::error_code gone;
  if (Under(std::filesystem::read_symlink(proc + "/cwd", gone), folder)) return true;
  for (const std::string& fd : Entries(proc + "/fd"))
    if (Under(std::filesystem::read_symlink(proc + "/fd/" + fd, gone), folder)) return true;
  return false;
}

// The command line a program was given. One that binfmt_misc started
// through qemu (the ARM suites) shows the emulator and its own path first.
std::vector<std::string> CommandLine(const std::string& proc) {
  std::vector<std::string> args;
  std::ifstream cmdline(proc + "/cmdline");
  for (std::string arg; std::getline(cmdline, arg, '\0');) args.push_back(arg);
  if (args.size() >= 2 && args[0].find("qemu") != std::string::npos)
    args.erase(args.begin(), args.begin() + 2);
  return args;
}

}  // namespace

std::vector<ProcessInfo> ProcessesUsing(const std::string& folder) {
  std::vector<ProcessInfo> found;
  for (const std::string& entry : Entries("/proc")) {
    pid_t pid = static_cast<pid_t>(std::atol(entry.c_str()));
    const std::string proc = "/proc/" + entry;
    if (pid <= 0 || !Uses(proc, folder)) continue;
    ProcessInfo info{pid, "", {}};
    std::ifstream(proc + "/comm") >> info.name;
    info.args = CommandLine(proc);
    found.push_back(info);
  }
  return found;
}

bool SleepsThrough(pid_t pid, int ms) {
  auto switches = [pid] {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string key = "voluntary_ctxt_switches:";
    for (std::string line; std::getline(status, line);)
      if (line.compare(0, key.size(), key) == 0) return std::stol(line.substr(key.size()));
    return -1L;
  };
  const long before = switches();
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return before >= 0 && switches() == before;
}

}  // namespace rig
