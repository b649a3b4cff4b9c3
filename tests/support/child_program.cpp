#include "tests/support/child_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

TempDir::TempDir() {
  char pattern[] = "/tmp/qx17_test_XXXXXX";
  const char* made = mkdtemp(pattern);
  EXPECT_NE(made, nullptr);
  path_ = made != nullptr ? made : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

pid_t StartProgram(const std::string& path, const std::vector<std::string>& args, int in, int out,
                   int err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  std::vector<std::string> words = {path};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitProgram(pid_t pid) {
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  return status;
}

ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args,
                      const std::string& input) {
  TempDir dir;
  WriteFile(dir.File("in"), input);
  int in = open(dir.File("in").c_str(), O_RDONLY);
  int out = open(dir.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int err = open(dir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = StartProgram(path, args, in, out, err);
  close(in);
  close(out);
  close(err);
  ProgramRun run;
  run.waitStatus = WaitProgram(pid);
  run.out = ReadFile(dir.File("out"));
  run.err = ReadFile(dir.File("err"));
  return run;
}
