// phonebench: how long a user waits for each window of the suite, against
// a bare Xlib program doing the same work in the same run, and what each
// waiting process costs in memory and wake-ups. A tool, not a test: it
// prints numbers and asserts nothing about them.
//
//   phonebench [--reps N] [--idle SECONDS] [--programs BUILD_DIR] [--only TEXT]
//
// Every repetition runs each timed path once with the program and once with
// the floor (bench_floor), one after the other, so that both see the same
// machine. --programs measures the programs of another build tree (e.g. of
// another branch) with this benchmark; --only keeps the timed paths whose
// window or path name holds the text, and skips the idle processes.
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "alsarig.h"
#include "cases.h"
#include "process.h"
#include "watch.h"

namespace bench {
namespace {

constexpr char kNotReached[] = "(not reached)";

// Phone windows sit at the root's origin with a 2-pixel border.
constexpr int kBorder = 2;

struct Options {
  int reps = 30;
  double idle_seconds = 1.0;
  std::string programs = PHONE_BUILD_DIR;
  std::string only;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The number after `key` in a /proc file of "Key: value" lines, or -1.
long ProcField(const std::string& text, const char* key) {
  size_t at = text.find(key);
  return at == std::string::npos ? -1 : std::atol(text.c_str() + at + std::strlen(key));
}

// True while the process waits in read, poll or select: a frame reader
// ready for its input.
bool WaitsForInput(pid_t pid) {
  long call = std::atol(ReadFile("/proc/" + std::to_string(pid) + "/syscall").c_str());
  for (long waiting : {long{SYS_read}, long{SYS_ppoll}, long{SYS_pselect6}
#ifdef SYS_poll
                       , long{SYS_poll}
#endif
#ifdef SYS_select  // armel has only the newer calls
                       , long{SYS_select}
#endif
       })
    if (call == waiting) return true;
  return false;
}

// A new directory under /tmp holding the empty subdirectory.
std::string FreshDirectory(const char* subdir) {
  char name[] = "/tmp/phonebench-XXXXXX";
  if (mkdtemp(name) == nullptr) return "";
  std::filesystem::create_directory(std::string(name) + "/" + subdir);
  return name;
}

void Sleep(double ms) { std::this_thread::sleep_for(std::chrono::microseconds(long(ms * 1000))); }

pid_t NewestChild(pid_t pid) {
  std::string p = std::to_string(pid);
  std::istringstream children(ReadFile("/proc/" + p + "/task/" + p + "/children"));
  pid_t child = 0, newest = 0;
  while (children >> child) newest = std::max(newest, child);
  return newest;
}

class Bench {
 public:
  Bench(const Options& options, const rig::EnvVars& env) : options_(options), env_(env) {}

  // One timed run of the program along the case; the waited milliseconds.
  double Program(const TimedCase& c) { return Along(c.start, c.steps); }

  // The same path with the floor.
  double Floor(const TimedCase& c) {
    if (c.steps.empty())
      return Along(FloorStart(c.start.frame != nullptr ? "frame" : "exec", "redraw", c.start.frame),
                   {});
    Step step = c.steps.back();
    const char* action = step.reaction == Reaction::kDrawn   ? "redraw"
                         : step.reaction == Reaction::kFrame ? "frame"
                         : step.title == nullptr             ? "flash"
                                                             : "window";
    if (step.title != nullptr) step.title = kFloorTitle;
    return Along(FloorStart("exec", action, nullptr), {step});
  }

  // Size and wake-ups of the process waiting in the state.
  std::string Idle(const IdleCase& c) {
    Running run;
    double began;
    bool reached = Begin(run, c.start, &began) >= 0;
    for (const Step& step : c.steps) reached = reached && Touch(run, step) >= 0;
    pid_t pid = c.child ? NewestChild(run.process->Pid()) : run.process->Pid();
    char line[160];
    if (!reached || pid <= 0) {
      std::snprintf(line, sizeof line, "%-42s %s", c.name, kNotReached);
    } else {
      // A pause runs out after 0.9 s: count within it.
      double seconds = c.at_once ? std::min(options_.idle_seconds, 0.5) : options_.idle_seconds;
      if (!c.at_once) Sleep(300);
      std::string proc = "/proc/" + std::to_string(pid);
      std::string sizes = ReadFile(proc + "/smaps_rollup");
      long switches = ProcField(ReadFile(proc + "/status"), "voluntary_ctxt_switches:");
      Sleep(seconds * 1000);
      long later = ProcField(ReadFile(proc + "/status"), "voluntary_ctxt_switches:");
      std::snprintf(line, sizeof line, "%-42s %8ld %8ld %12.1f", c.name,
                    ProcField(sizes, "Rss:"), ProcField(sizes, "Pss:"),
                    (later - switches) / seconds);
    }
    Finish(run);
    return line;
  }

  static IdleCase FloorIdle() {
    return {"floor (bare Xlib window)", FloorStart("exec", "redraw", nullptr), {}, false};
  }

 private:
  static constexpr char kFloorTitle[] = "floor";

  struct Running {
    std::unique_ptr<rig::Process> process;
    double ready_after = 0;  // a touch is taken once a grab follows this time
    std::string dir;         // the run's own working directory, if any
  };

  static Start FloorStart(const char* how, const char* action, const char* frame) {
    return {BENCH_FLOOR, frame, kFloorTitle, {how, action}};
  }

  // Starts, takes the steps and returns the time of the last one, or of the
  // start when there are none; -1 when a step or the start failed.
  double Along(const Start& start, const std::vector<Step>& steps) {
    Running run;
    double began, shown = Begin(run, start, &began);
    double waited = shown < 0 ? -1 : shown - began;
    size_t taken = 0;
    for (; taken < steps.size() && waited >= 0; ++taken) waited = Touch(run, steps[taken]);
    if (waited < 0) Report(run, start, taken);
    Finish(run);
    return waited;
  }

  // Says which step of a run that failed did not show its reaction.
  static void Report(Running& run, const Start& start, size_t steps_taken) {
    run.process->Kill();
    run.process->WaitForOutputEnd();  // collect its last words
    std::fprintf(stderr, "\nphonebench: %s: %s did not show its reaction; its stderr:\n%s\n",
                 start.program.c_str(),
                 steps_taken == 0 ? "the start" : ("touch " + std::to_string(steps_taken)).c_str(),
                 run.process->Stderr().c_str());
  }

  // Starts the program and, for a frame reader, writes the frame once it
  // reads. Returns when the first window was mapped (-1 when it was not);
  // *began is the exec or the write.
  double Begin(Running& run, const Start& start, double* began) {
    std::vector<std::string> argv = {start.program[0] == '/' ? start.program
                                                             : options_.programs + "/" + start.program};
    argv.insert(argv.end(), start.args.begin(), start.args.end());

    if (start.subdir != nullptr) run.dir = FreshDirectory(start.subdir);
    if (start.file != nullptr) std::ofstream(options_.programs + "/" + start.file) << start.file_text;
    watch_.Mark();
    *began = NowMs();
    run.process = std::make_unique<rig::Process>(argv, env_, run.dir);
    if (start.frame != nullptr) {
      pid_t pid = run.process->Pid();
      if (!xrig::WaitFor([&] { return WaitsForInput(pid); })) return -1;
      watch_.Mark();
      *began = NowMs();
      run.process->Write(start.frame);
    }
    if (start.title == nullptr) return *began;
    double shown = watch_.WaitMapped(start.title);
    run.ready_after = shown;
    return shown;
  }

  // Touches the step's position once the program waits for a touch.
  // Returns the milliseconds from the press to the step's reaction, or -1.
  double Touch(Running& run, const Step& step) {
    if (watch_.WaitGrab(run.ready_after) < 0) return -1;
    watch_.Mark();
    size_t written = run.process->Stdout().size();
    double pressed = watch_.Press(step.x + kBorder, step.y + kBorder);
    double reacted = -1;
    switch (step.reaction) {
      case Reaction::kMapped:
        reacted = watch_.WaitMapped(step.title);
        break;
      case Reaction::kDrawn:
        reacted = watch_.WaitDrawn();
        break;
      case Reaction::kFrame:
        if (run.process->WaitFor([&] {
              const std::string& out = run.process->Stdout();
              return out.size() > written && out.back() == '\x03';
            }))
          reacted = NowMs();
        break;
    }
    watch_.Release();
    run.ready_after = reacted;
    return reacted < 0 ? -1 : reacted - pressed;
  }

  // Ends the run's processes and leaves a clean screen for the next run.
  void Finish(Running& run) {
    run.process.reset();
    if (!run.dir.empty()) std::filesystem::remove_all(run.dir);
    xrig::WaitFor([] { return xrig::ViewableTopLevelWindows().empty(); });
  }

  const Options& options_;
  const rig::EnvVars& env_;
  Watch watch_;
};

struct Summary {
  double median = -1, min = -1, max = -1;
  int failed = 0;
};

Summary Summarize(std::vector<double> samples) {
  Summary s;
  s.failed = static_cast<int>(std::count(samples.begin(), samples.end(), -1.0));
  samples.erase(std::remove(samples.begin(), samples.end(), -1.0), samples.end());
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  size_t n = samples.size();
  s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  s.min = samples.front();
  s.max = samples.back();
  return s;
}

std::string PathName(const TimedCase& c) {
  if (c.steps.empty()) return c.start.frame != nullptr ? "frame -> mapped" : "exec -> mapped";
  const Step& last = c.steps.back();
  switch (last.reaction) {
    case Reaction::kDrawn:
      return "touch -> redraw";
    case Reaction::kFrame:
      return "touch -> frame";
    case Reaction::kMapped:
      break;
  }
  return last.title != nullptr ? "touch -> mapped" : "touch -> flash";
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--reps") {
      options.reps = std::max(1, std::atoi(argv[i + 1]));
    } else if (name == "--idle") {
      options.idle_seconds = std::max(0.1, std::atof(argv[i + 1]));
    } else if (name == "--programs") {
      options.programs = argv[i + 1];
    } else if (name == "--only") {
      options.only = argv[i + 1];
    } else {
      std::fprintf(stderr,
                   "usage: phonebench [--reps N] [--idle SECONDS] [--programs DIR] [--only TEXT]\n");
      std::exit(2);
    }
  }
  return options;
}

// Prints the table; returns how many runs did not reach their window.
int PrintTimes(const std::vector<TimedCase>& cases, const std::vector<std::vector<double>>& program,
                const std::vector<std::vector<double>>& floor, int reps) {
  std::printf("\nWaits in ms, %d runs each, program and floor interleaved:\n", reps);
  std::printf("%-20s %-16s %8s %7s %7s   %8s %7s %7s   %5s\n", "window", "path", "median", "min",
              "max", "floor", "min", "max", "ratio");
  int failed = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    Summary p = Summarize(program[i]), f = Summarize(floor[i]);
    failed += p.failed + f.failed;
    std::printf("%-20s %-16s %8.2f %7.2f %7.2f   %8.2f %7.2f %7.2f   %5.2f", cases[i].window,
                PathName(cases[i]).c_str(), p.median, p.min, p.max, f.median, f.min, f.max,
                p.median > 0 && f.median > 0 ? p.median / f.median : -1.0);
    if (p.failed + f.failed > 0) std::printf("   (%d runs failed)", p.failed + f.failed);
    std::printf("\n");
  }
  return failed;
}

// Prints the table of idle processes; returns how many were not reached.
int PrintIdle(Bench& bench, const Options& options) {
  std::printf("\nIdle processes (wake-ups over %.1f s, 0.5 s at most while a pause runs):\n",
              options.idle_seconds);
  std::printf("%-42s %8s %8s %12s\n", "process", "RSS kB", "PSS kB", "wake-ups/s");
  std::vector<IdleCase> idle = IdleCases();
  idle.push_back(Bench::FloorIdle());
  int failed = 0;
  for (const IdleCase& c : idle) {
    std::string line = bench.Idle(c);
    failed += line.find(kNotReached) != std::string::npos;
    std::printf("%s\n", line.c_str());
  }
  return failed;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  using namespace bench;
  Options options = ParseOptions(argc, argv);
  // Whole lines only: nothing half-printed goes into a forked child.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  xrig::StartServer();
  // The programs select their routing on a virtual codec that keeps its
  // state file for its close.
  alsarig::AlsaRig alsa({.save_each_write = false});
  rig::EnvVars env;
  for (const std::string& assignment : alsa.Environment()) {
    size_t equals = assignment.find('=');
    env.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
  }
  int failed = 0;
  {
    Bench bench(options, env);
    std::vector<TimedCase> cases;
    for (const TimedCase& c : TimedCases())
      if ((std::string(c.window) + " " + PathName(c)).find(options.only) != std::string::npos)
        cases.push_back(c);
    std::vector<std::vector<double>> program(cases.size()), floor(cases.size());
    for (int rep = 0; rep < options.reps; ++rep) {
      for (size_t i = 0; i < cases.size(); ++i) {
        program[i].push_back(bench.Program(cases[i]));
        floor[i].push_back(bench.Floor(cases[i]));
      }
      std::fprintf(stderr, "\rphonebench: run %d of %d", rep + 1, options.reps);
    }
    std::fprintf(stderr, "\n");
    failed = PrintTimes(cases, program, floor, options.reps);

    if (options.only.empty()) failed += PrintIdle(bench, options);
  }
  xrig::StopServer();
  // Numbers are never judged; a path that was not reached means the
  // benchmark itself no longer works.
  return failed == 0 ? 0 : 1;
}
