// Command line of the emulator console: what driver and instrument the run meets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "emulator/core/velk_emu.h"

namespace qx17_emu {

struct Options {
  bool help = false;
  bool quiet = false;
  bool noDriver = false;
  bool haveVersion = false;
  std::uint8_t versionMajor = 0;
  std::uint8_t versionMinor = 0;
  bool haveDataFormat = false;
  std::uint16_t dataFormat = 0;
  std::vector<velk_emu_fault> faults;
  std::string memoryIn;
  std::string memoryOut;
};

struct ParseResult {
  Options options;
  std::string error;  // empty when the command line is good
};

ParseResult ParseOptions(const std::vector<std::string_view>& args);

// Sets up an emulator from the options; reads --memory-in. Returns an error text, or empty.
std::string Configure(const Options& options, velk_emu& device);

extern const char kUsage[];

}  // namespace qx17_emu
