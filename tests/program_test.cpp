// The built program itself, started the way a user or a script starts it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_program.h"
#include "tests/support/expected_bytes.h"

namespace {

struct Outcome {
  int waitStatus = 0;
  std::string err;
};

// Runs the program with standard input from a file and standard output on `out`.
Outcome RunWith(const std::string& inPath, int out, const TempDir& dir) {
  int in = open(inPath.c_str(), O_RDONLY);
  int err = open(dir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = StartProgram(QX17_701_PATH, {}, in, out, err);
  close(in);
  close(err);
  Outcome outcome;
  outcome.waitStatus = WaitProgram(pid);
  outcome.err = ReadFile(dir.File("err"));
  return outcome;
}

void ExpectCleanExit(int waitStatus) {
  ASSERT_TRUE(WIFEXITED(waitStatus)) << "ended by signal " << WTERMSIG(waitStatus);
  EXPECT_EQ(WEXITSTATUS(waitStatus), 0);
}

// One line on standard error naming the failed operation, and a nonzero exit code, never a
// signal.
void ExpectConsoleFailure(const Outcome& outcome, const std::string& operation) {
  ASSERT_TRUE(WIFEXITED(outcome.waitStatus)) << "ended by signal " << WTERMSIG(outcome.waitStatus);
  EXPECT_NE(WEXITSTATUS(outcome.waitStatus), 0);
  EXPECT_NE(outcome.err.find("console " + operation + " failed"), std::string::npos) << outcome.err;
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
  EXPECT_EQ(outcome.err.back(), '\n');
}

struct InputCase {
  const char* name;
  std::string input;  // empty: no input at all
  std::vector<std::string> args;
};

class ProgramInputTest : public testing::TestWithParam<InputCase> {};

TEST_P(ProgramInputTest, PrintsCleanRunAndExitsZero) {
  ProgramRun run = RunProgram(QX17_701_PATH, GetParam().args, GetParam().input);
  ExpectCleanExit(run.waitStatus);
  EXPECT_EQ(run.out, kCleanRunConsole);
  EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ProgramInputTest,
    testing::Values(InputCase{"OneLine", "\n", {}}, InputCase{"NoInputAtAll", "", {}},
                    InputCase{"LineWithoutEnd", "y", {}},
                    InputCase{"ArgumentsIgnored", "\n", {"--help", "--no-driver"}}),
    [](const testing::TestParamInfo<InputCase>& info) { return info.param.name; });

TEST(Program, FullOutputDeviceIsReportedOnStandardError) {
  TempDir dir;
  WriteFile(dir.File("in"), "\n");
  int out = open("/dev/full", O_WRONLY);
  ASSERT_GE(out, 0);
  Outcome outcome = RunWith(dir.File("in"), out, dir);
  close(out);
  ExpectConsoleFailure(outcome, "write");
}

TEST(Program, PipeWithoutReaderIsAFailedWriteNotASignal) {
  TempDir dir;
  WriteFile(dir.File("in"), "\n");
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  close(pipeEnds[0]);
  Outcome outcome = RunWith(dir.File("in"), pipeEnds[1], dir);
  close(pipeEnds[1]);
  ExpectConsoleFailure(outcome, "write");
}

TEST(Program, UnreadableInputIsReportedAfterAllOutput) {
  TempDir dir;
  int out = open(dir.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // Reading a directory fails with an error rather than an end of input.
  Outcome outcome = RunWith("/", out, dir);
  close(out);
  ExpectConsoleFailure(outcome, "read");
  EXPECT_EQ(ReadFile(dir.File("out")), kCleanRunConsole);
}

// True once the process sits in a read of its standard input.
bool BlockedReadingInput(pid_t pid) {
  std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
  std::string number;
  std::string fd;
  syscall >> number >> fd;
  return number == std::to_string(SYS_read) && fd == "0x0";
}

TEST(Program, EverythingIsWrittenBeforeItWaitsForTheLine) {
  TempDir dir;
  int inPipe[2];
  ASSERT_EQ(pipe(inPipe), 0);
  int out = open(dir.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int err = open(dir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = StartProgram(QX17_701_PATH, {}, inPipe[0], out, err);
  close(inPipe[0]);
  close(out);
  close(err);
  // A safety bound only, so that a program that never reads fails instead of hanging the suite.
  auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!BlockedReadingInput(pid) && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_TRUE(BlockedReadingInput(pid)) << "never waited for input";
  EXPECT_EQ(ReadFile(dir.File("out")), kCleanRunConsole);
  ASSERT_EQ(write(inPipe[1], "\n", 1), 1);
  close(inPipe[1]);
  ExpectCleanExit(WaitProgram(pid));
}

}  // namespace
