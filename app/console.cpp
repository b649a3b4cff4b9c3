#include "app/console.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace console {

namespace {

constexpr char kLineEnd[] = "\r\n";

// Static buffers keep the C library from allocating its own.
char OutputBuffer[BUFSIZ];
char InputBuffer[BUFSIZ];

int FailureErrno = 0;

bool Put(std::string_view text) {
  if (text.empty()) return true;
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size()) return true;
  FailureErrno = errno;
  return false;
}

}  // namespace

bool Flush() {
  if (std::fflush(stdout) == 0) return true;
  FailureErrno = errno;
  return false;
}

void Prepare() {
#ifdef SIGPIPE
  // A reader that went away must surface as a failed write, not kill the process.
  std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef _WIN32
  // Text mode would turn every CR LF into CR CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::setvbuf(stdout, OutputBuffer, _IOFBF, sizeof OutputBuffer);
  std::setvbuf(stdin, InputBuffer, _IOFBF, sizeof InputBuffer);
}

bool Write(std::string_view text) {
  return Put(text) && Flush();
}

bool WriteLine(std::string_view text) {
  return Put(text) && Put(kLineEnd);
}

bool ReadLine() {
  for (;;) {
    int c = std::getchar();
    if (c == '\n') return true;
    if (c == EOF) {
      if (!std::ferror(stdin)) return true;
      FailureErrno = errno;
      return false;
    }
  }
}

int ReportFailure(std::string_view operation) {
  const char* reason = FailureErrno != 0 ? std::strerror(FailureErrno) : "unknown error";
  std::fprintf(stderr, "qx17_701: console %.*s failed: %s\n", static_cast<int>(operation.size()),
               operation.data(), reason);
  return kFailureExitCode;
}

}  // namespace console
