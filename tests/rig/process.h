// A program under test, run as a real child process with its three standard
// streams on pipes.
//
//   rig::Process p({"/path/to/prog", "arg"}, {{"DISPLAY", ":5"}});
//   p.Write("\x02\x1f" "call" ...);          // feed its standard input
//   p.CloseStdin();                          // end of input for the program
//   ASSERT_TRUE(p.WaitForStdout("\x03"));    // wait for evidence, not time
//   EXPECT_EQ(p.WaitForExit(), 0);
//   p.Stdout(), p.Stderr()                   // everything read so far
//
// The child runs in a process group of its own; Kill() and the destructor
// signal the whole group, so windows or alerts that the program forked go
// with it. Output is only collected while one of the Wait* calls or Write()
// runs; the buffers grow for the whole life of the object.
//
// Timeouts are in seconds and are generous limits for a noisy machine, never
// a measure of speed. A Wait* call that runs out of time returns false (or
// kTimedOut) and adds a gtest failure that names the program, so a test can
// simply ASSERT_TRUE on it.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rig {

inline constexpr double kDefaultTimeout = 20.0;
// WaitForExit's result when the program had to be killed.
inline constexpr int kTimedOut = -1;

using EnvVars = std::vector<std::pair<std::string, std::string>>;

class Process {
 public:
  // Starts argv[0] (a path; no PATH search) with the test's environment plus
  // env (which overrides variables of the same name), in working_dir when it
  // is not empty. A program that cannot be started ends with status 127 and a
  // line on its stderr.
  explicit Process(std::vector<std::string> argv, const EnvVars& env = {},
                   const std::string& working_dir = "");
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t Pid() const { return pid_; }

  // Writes all of bytes to the program's stdin, collecting its output
  // meanwhile so that neither side can block the other. False when the
  // program no longer reads (its stdin is closed) or the timeout passed.
  bool Write(std::string_view bytes, double timeout = kDefaultTimeout);
  void CloseStdin();

  // Collects output until done() holds; done() may look at Stdout() and
  // Stderr(). True when it held, false after the timeout or when both
  // streams ended without it holding.
  bool WaitFor(const std::function<bool()>& done,
               double timeout = kDefaultTimeout);
  bool WaitForStdout(std::string_view text, double timeout = kDefaultTimeout);
  bool WaitForStderr(std::string_view text, double timeout = kDefaultTimeout);
  bool WaitForStdoutSize(size_t bytes, double timeout = kDefaultTimeout);
  // Collects output until both stdout and stderr reached their end, that is
  // until the program and every process it left holding them are gone.
  bool WaitForOutputEnd(double timeout = kDefaultTimeout);

  // Waits until the program ends and returns its exit status, or 128 plus
  // the signal number when a signal ended it. Output it wrote before ending
  // is collected. On timeout the group is killed and kTimedOut returned.
  // Repeated calls give the same status.
  int WaitForExit(double timeout = kDefaultTimeout);

  // Sends sig to the program's process group (no-op once it was reaped).
  void Kill(int sig = SIGKILL);

  const std::string& Stdout() const { return out_; }
  const std::string& Stderr() const { return err_; }

 private:
  // One round of waiting for output (and stdin space when want_write):
  // reads what is there into the buffers. Returns false when nothing can
  // come any more.
  bool Pump(int timeout_ms, bool want_write);
  bool ReapIfEnded();
  std::string Name() const;

  std::vector<std::string> argv_;
  pid_t pid_ = -1;
  int in_fd_ = -1, out_fd_ = -1, err_fd_ = -1;
  bool reaped_ = false;
  int status_ = kTimedOut;
  std::string out_, err_;
};

// The processes whose parent is `parent`, read from /proc; with
// only_zombies, just those that ended and were never reaped.
int CountChildren(pid_t parent, bool only_zombies = false);
// Sends the signal to each of them; the number signalled.
int SignalChildren(pid_t parent, int signal);

// A process that works in a folder or holds a file in it.
struct ProcessInfo {
  pid_t pid;
  std::string name;               // the kernel's name for it (comm)
  std::vector<std::string> args;  // its command line
};
// The processes whose working directory or an open file lies under `folder`
// (an absolute path), read from /proc.
std::vector<ProcessInfo> ProcessesUsing(const std::string& folder);

// True when the process did not wake up once over the next `ms`
// milliseconds: its count of voluntary context switches (in /proc) stayed
// the same.
bool SleepsThrough(pid_t pid, int ms);

}  // namespace rig
