// Test harness for the kernel-mode emulated driver under Wine: sets it up from qx17_emu's options
// without running anything, or writes out its page, so that the unchanged qx17_701.exe can be run
// against it in between.
//   velk_502_state configure [qx17_emu options]
//   velk_502_state page FILE
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/cli/device_host.h"
#include "emulator/cli/options.h"

namespace {

velk_emu State;

int Fail(const std::string& problem) {
  std::fprintf(stderr, "velk_502_state: %s\n", problem.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() >= 1 && args[0] == "configure") {
    qx17_emu::ParseResult parsed = qx17_emu::ParseOptions({args.begin() + 1, args.end()});
    if (!parsed.error.empty()) return Fail(parsed.error);
    std::string problem = qx17_emu::Configure(parsed.options, State);
    if (problem.empty()) problem = qx17_emu::PrepareDriver(State);
    return problem.empty() ? 0 : Fail(problem);
  }
  if (args.size() == 2 && args[0] == "page") {
    velk_emu_reset(&State);
    std::string problem = qx17_emu::CollectDriver(State);
    if (!problem.empty()) return Fail(problem);
    std::FILE* file = std::fopen(std::string(args[1]).c_str(), "wb");
    if (file == nullptr) return Fail("cannot write the page file");
    bool written = std::fwrite(State.page, 1, sizeof State.page, file) == sizeof State.page;
    return std::fclose(file) == 0 && written ? 0 : Fail("cannot write the page file");
  }
  return Fail("usage: velk_502_state configure [qx17_emu options] | page FILE");
}
