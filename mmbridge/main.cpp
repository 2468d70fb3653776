// mmbridge: joins the modem that ModemManager holds to the suite's frames,
// as modembridge does for a modem's AT port. Frames from standard input
// become ModemManager requests; its calls and messages become frames on
// standard output; the log goes to standard error.
//
//   mmbridge [MODEM]      MODEM: an index or object path; else the first modem
#include <glib-unix.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "bridge.h"
#include "frame_input.h"
#include "message_numbers.h"
#include "mm_link.h"
#include "program.h"

namespace {

struct Program {
  MmBridge* bridge;
  MmLink* link;
  GMainLoop* loop;
  FrameAssembler frames;
  guint timer = 0;
};

// ~/gta02/mmbridge/message-numbers, its folders made when missing.
std::string NumbersFile() {
  const char* home = getenv("HOME");
  if (!home || !*home) {
    passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : "/";
  }
  std::string folder = std::string(home) + "/gta02";
  mkdir(folder.c_str(), 0755);
  folder += "/mmbridge";
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    fprintf(stderr, "202612081840 cannot make %s: %s\n", folder.c_str(), strerror(errno));
  return folder + "/message-numbers";
}

gboolean OnTimer(gpointer data);

void ArmTimer(Program& program) {
  if (program.timer) g_source_remove(program.timer);
  program.timer = 0;
  Millis deadline = program.bridge->NextDeadline();
  if (deadline == kNoDeadline) return;
  Millis wait = std::max<Millis>(deadline - MonotonicMs(), 0);
  program.timer = g_timeout_add(static_cast<guint>(wait), OnTimer, &program);
}

gboolean OnTimer(gpointer data) {
  Program& program = *static_cast<Program*>(data);
  program.timer = 0;
  program.bridge->OnTick(MonotonicMs());
  ArmTimer(program);
  return G_SOURCE_REMOVE;
}

void EndWhenIdle(Program& program) {
  if (program.link->Pending() == 0)
    g_main_loop_quit(program.loop);
  else
    program.link->on_idle = [&program] { g_main_loop_quit(program.loop); };
}

gboolean OnInput(gint fd, GIOCondition, gpointer data) {
  Program& program = *static_cast<Program*>(data);
  char chunk[512];
  ssize_t n = read(fd, chunk, sizeof chunk);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return G_SOURCE_CONTINUE;
  if (n <= 0) {
    // Requests already taken are carried out before the end.
    fputs("202612081841 end of input\n", stderr);
    EndWhenIdle(program);
    return G_SOURCE_REMOVE;
  }
  for (const std::string& frame : program.frames.Feed(std::string_view(chunk, n)))
    program.bridge->OnFrame(frame);
  ArmTimer(program);
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  OpenStandardStreams();
  IgnoreBrokenPipe();
  if (argc > 2) {
    fputs("usage: mmbridge [MODEM]\n", stderr);
    return 1;
  }
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (!bus) {
    fprintf(stderr, "202612081842 no system bus: %s\n", error->message);
    return 1;
  }
  MessageNumbers numbers(NumbersFile());
  numbers.Load();
  MmLink link(bus, argc == 2 ? argv[1] : "");
  MmBridge bridge(link, numbers);
  link.SetBridge(&bridge);
  Program program{&bridge, &link, g_main_loop_new(nullptr, FALSE), {}, 0};
  link.on_event = [&program] { ArmTimer(program); };
  g_unix_fd_add(0, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), OnInput, &program);
  link.Start();
  g_main_loop_run(program.loop);
  g_main_loop_unref(program.loop);
  return 0;
}
