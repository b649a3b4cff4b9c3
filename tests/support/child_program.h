// Starting a built program the way a shell or a script does, with its standard streams on files
// or descriptors the test chooses (POSIX only).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Starts `path` with `args` on the given descriptors as standard input, output and error.
pid_t StartProgram(const std::string& path, const std::vector<std::string>& args, int in, int out,
                   int err);
// The raw wait status of a started program.
int WaitProgram(pid_t pid);

struct ProgramRun {
  int waitStatus = 0;
  std::string out;
  std::string err;
};

// Runs `path` to its end with `input` on standard input and both outputs captured.
ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args,
                      const std::string& input);
