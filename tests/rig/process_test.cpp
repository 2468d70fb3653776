#include "process.h"

#include "capture.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

rig::Process Shell(const std::string& script, const rig::EnvVars& env = {},
                   const std::string& dir = "") {
  return rig::Process({"/bin/sh", "-c", script}, env, dir);
}

TEST(Process, EchoesInputAndEndsWithItsStatus) {
  rig::Process cat({"/bin/cat"});
  ASSERT_TRUE(cat.Write(std::string("a\0b\x03", 4)));
  ASSERT_TRUE(cat.WaitForStdout(std::string("a\0b\x03", 4)));
  cat.CloseStdin();
  EXPECT_EQ(cat.WaitForExit(), 0);
  EXPECT_EQ(cat.Stdout(), std::string("a\0b\x03", 4));
}

TEST(Process, LargeInputDoesNotDeadlockAgainstOutput) {
  // cat writes back while we still write: the pipes fill in both directions.
  rig::Process cat({"/bin/cat"});
  std::string block(1 << 20, 'x');
  ASSERT_TRUE(cat.Write(block));
  cat.CloseStdin();
  ASSERT_TRUE(cat.WaitForStdoutSize(block.size()));
  EXPECT_EQ(cat.WaitForExit(), 0);
  EXPECT_EQ(cat.Stdout().size(), block.size());
}

TEST(Process, SeparatesStreamsAndReportsExitCodesAndSignals) {
  auto sh = Shell("echo out; echo err >&2; exit 3");
  EXPECT_EQ(sh.WaitForExit(), 3);
  EXPECT_EQ(sh.Stdout(), "out\n");
  EXPECT_EQ(sh.Stderr(), "err\n");
  EXPECT_EQ(sh.WaitForExit(), 3);

  auto killed = Shell("kill -TERM $$");
  EXPECT_EQ(killed.WaitForExit(), 128 + SIGTERM);
}

TEST(Process, PassesEnvironmentAndWorkingDirectory) {
  auto sh = Shell("echo \"$RIG_A/$HOME\"; pwd", {{"RIG_A", "one"}, {"HOME", "/nowhere"}},
                  "/tmp");
  EXPECT_EQ(sh.WaitForExit(), 0);
  EXPECT_EQ(sh.Stdout(), "one//nowhere\n/tmp\n");
}

TEST(Process, MissingProgramEndsWith127) {
  rig::Process none({"/nonexistent/program"});
  EXPECT_EQ(none.WaitForExit(), 127);
  EXPECT_NE(none.Stderr().find("cannot start /nonexistent/program"), std::string::npos);
}

TEST(Process, WriteFailsOnceTheProgramStoppedReading) {
  auto sh = Shell("exec 0<&-; echo closed");
  ASSERT_TRUE(sh.WaitForStdout("closed"));
  EXPECT_EQ(sh.WaitForExit(), 0);
  EXPECT_FALSE(sh.Write("late"));
}

TEST(Process, TimeoutsFailTheTestAndKillTheProgram) {
  rig::Process cat({"/bin/cat"});  // never ends while its stdin is open
  int status = 0;
  EXPECT_NONFATAL_FAILURE(status = cat.WaitForExit(0.2), "did not end within");
  EXPECT_EQ(status, rig::kTimedOut);

  rig::Process quiet({"/bin/cat"});
  bool found = true;
  EXPECT_NONFATAL_FAILURE(found = quiet.WaitForStdout("never", 0.2),
                          "did not come within");
  EXPECT_FALSE(found);
}

TEST(Process, OutputThatEndsWithoutTheTextFailsAtOnce) {
  auto sh = Shell("echo something else");
  bool found = true;
  EXPECT_NONFATAL_FAILURE(found = sh.WaitForStdout("wanted", 600),
                          "closed its output");
  EXPECT_FALSE(found);
}

TEST(Process, KillTakesTheWholeProcessGroup) {
  // The background sleep holds stdout; its end shows that it was killed too.
  auto sh = Shell("sleep 1000 & echo started; wait");
  ASSERT_TRUE(sh.WaitForStdout("started"));
  sh.Kill();
  EXPECT_EQ(sh.WaitForExit(), 128 + SIGKILL);
  EXPECT_TRUE(sh.WaitForOutputEnd());
}

TEST(CapturedFd, CatchesBothStdioAndRawWritesUntilDestroyed) {
  {
    rig::CapturedFd out(1);
    ASSERT_EQ(write(1, "raw ", 4), 4);
    printf("buffered");  // still in the stdio buffer until Text()
    EXPECT_EQ(out.Text(), "raw buffered");
  }
  rig::CapturedFd err(2);
  fputs("to stderr\n", stderr);
  EXPECT_EQ(err.Text(), "to stderr\n");
}

}  // namespace
