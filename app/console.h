// Console text for the run: 8-bit bytes out exactly as given, CR LF line ends on every platform,
// and one line in. Every operation reports whether it worked; the caller ends the run if not.
#pragma once

#include <cstddef>
#include <string_view>

namespace console {

// Call once before any other console operation.
void Prepare();

// Text without a line end, flushed at once so it shows before the work it announces.
bool Write(std::string_view text);
bool WriteLine(std::string_view text);
// Puts out everything written so far; needed before waiting for input, since a pipe or a file
// holds line writes back.
bool Flush();
// Reads up to the end of one line. End of input counts as an empty line, so the utility can run
// from a script.
bool ReadLine();

// The one line on standard error for a failed console operation; returns the exit code to use.
int ReportFailure(std::string_view operation);

inline constexpr int kFailureExitCode = 1;

}  // namespace console
