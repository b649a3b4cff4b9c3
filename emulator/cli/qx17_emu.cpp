// The utility's one job against an emulated driver and instrument set up from the command line:
// a dry run for technicians and a protocol trace for testers.
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/QX17_701.h"
#include "emulator/cli/device_host.h"
#include "emulator/cli/options.h"
#include "emulator/cli/report.h"

namespace {

constexpr int kBadUsage = 2;
constexpr int kNoEmulatedDriver = 3;

int Refuse(int exitCode, const std::string& problem) {
  std::fprintf(stderr, "qx17_emu: %s\n", problem.c_str());
  return exitCode;
}

// Large enough to keep off the stack.
velk_emu Configured;
velk_emu After;

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  qx17_emu::ParseResult parsed = qx17_emu::ParseOptions(args);
  if (!parsed.error.empty()) return Refuse(kBadUsage, parsed.error);
  const qx17_emu::Options& options = parsed.options;
  if (options.help) {
    std::fputs(qx17_emu::kUsage, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }

  std::string problem = qx17_emu::Configure(options, Configured);
  if (!problem.empty()) return Refuse(kBadUsage, problem);
  problem = qx17_emu::PrepareDriver(Configured);
  if (!problem.empty()) return Refuse(kNoEmulatedDriver, problem);

  // Opened before the run so that a bad path stops it before anything happens.
  std::FILE* memoryOut = nullptr;
  if (!options.memoryOut.empty()) {
    memoryOut = std::fopen(options.memoryOut.c_str(), "wb");
    if (memoryOut == nullptr) {
      return Refuse(kBadUsage, "--memory-out: cannot write '" + options.memoryOut + "'");
    }
  }

  int exitCode = QX17_701::Run();

  After = Configured;
  problem = qx17_emu::CollectDriver(After);
  if (!problem.empty()) {
    if (memoryOut != nullptr) std::fclose(memoryOut);
    return Refuse(kNoEmulatedDriver, problem);
  }
  if (!options.quiet) std::fputs(qx17_emu::Report(After, Configured.page).c_str(), stderr);
  if (memoryOut != nullptr) {
    bool written = std::fwrite(After.page, 1, VELK_EMU_PAGE_SIZE, memoryOut) == VELK_EMU_PAGE_SIZE;
    if (std::fclose(memoryOut) != 0 || !written) {
      std::fprintf(stderr, "qx17_emu: --memory-out: cannot write '%s'\n",
                   options.memoryOut.c_str());
      if (exitCode == 0) exitCode = 1;
    }
  }
  return exitCode;
}
