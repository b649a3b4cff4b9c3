#include "tests/support/fresh_process.h"

#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32

// No fork here. ctest gives every test a process of its own; a run of the whole binary in one
// process stops at the second test instead of passing on the first one's leftovers.
void InFreshProcess(const std::function<void()>& body) {
  static bool used = false;
  ASSERT_FALSE(used) << "product state is no longer fresh: run one test per process, as ctest does";
  used = true;
  body();
}

#else

#include <sys/wait.h>
#include <unistd.h>

void InFreshProcess(const std::function<void()>& body) {
  std::fflush(nullptr);
  pid_t child = fork();
  ASSERT_NE(child, -1) << "fork failed";
  if (child == 0) {
    body();
    std::fflush(nullptr);
    _exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child was ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "checks failed in the child process (see above)";
}

#endif
