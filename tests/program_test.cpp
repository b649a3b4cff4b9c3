// The built program itself, started the way a user or a script starts it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

const std::string kCleanRun =
    "\r\nReading QX17...OK!\r\nWriting QX17...OK!\r\nPress any key...\r\n";

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/qx17_test_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct Outcome {
  int waitStatus = 0;
  std::string err;
};

// Starts the program with the given descriptors as standard input and output.
pid_t Start(int in, int out, int err, const std::vector<std::string>& args = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  std::vector<std::string> words = {QX17_701_PATH};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, QX17_701_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  return status;
}

Outcome RunWith(const std::string& inPath, int out, const TempDir& dir,
                const std::vector<std::string>& args = {}) {
  int in = open(inPath.c_str(), O_RDONLY);
  int err = open(dir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = Start(in, out, err, args);
  close(in);
  close(err);
  Outcome outcome;
  outcome.waitStatus = Wait(pid);
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
  TempDir dir;
  std::ofstream(dir.File("in"), std::ios::binary) << GetParam().input;
  int out = open(dir.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  Outcome outcome = RunWith(dir.File("in"), out, dir, GetParam().args);
  close(out);
  ExpectCleanExit(outcome.waitStatus);
  EXPECT_EQ(ReadFile(dir.File("out")), kCleanRun);
  EXPECT_EQ(outcome.err, "");
}

INSTANTIATE_TEST_SUITE_P(Inputs, ProgramInputTest,
                         testing::Values(InputCase{"OneLine", "\n", {}},
                                         InputCase{"NoInputAtAll", "", {}},
                                         InputCase{"LineWithoutEnd", "y", {}},
                                         InputCase{"ArgumentsIgnored", "\n", {"--help", "x"}}),
                         [](const testing::TestParamInfo<InputCase>& info) {
                           return info.param.name;
                         });

TEST(Program, FullOutputDeviceIsReportedOnStandardError) {
  TempDir dir;
  std::ofstream(dir.File("in")) << "\n";
  int out = open("/dev/full", O_WRONLY);
  ASSERT_GE(out, 0);
  Outcome outcome = RunWith(dir.File("in"), out, dir);
  close(out);
  ExpectConsoleFailure(outcome, "write");
}

TEST(Program, PipeWithoutReaderIsAFailedWriteNotASignal) {
  TempDir dir;
  std::ofstream(dir.File("in")) << "\n";
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
  EXPECT_EQ(ReadFile(dir.File("out")), kCleanRun);
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
  pid_t pid = Start(inPipe[0], out, err);
  close(inPipe[0]);
  close(out);
  close(err);
  // A safety bound only, so that a program that never reads fails instead of hanging the suite.
  auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!BlockedReadingInput(pid) && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_TRUE(BlockedReadingInput(pid)) << "never waited for input";
  EXPECT_EQ(ReadFile(dir.File("out")), kCleanRun);
  ASSERT_EQ(write(inPipe[1], "\n", 1), 1);
  close(inPipe[1]);
  ExpectCleanExit(Wait(pid));
}

}  // namespace
