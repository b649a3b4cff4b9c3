// Where the emulator console's driver lives: in this process off Windows, and on Windows in the
// kernel-mode driver velk_502.sys, reached through the service manager and its private control
// codes.
#pragma once

#include <string>

#include "emulator/core/velk_emu.h"

namespace qx17_emu {

// Makes the driver the run will meet present in the given state, or absent when `state.present`
// is 0. Returns what went wrong, or an empty text.
std::string PrepareDriver(const velk_emu& state);

// The driver's state after the run: its page and the trace of every call.
std::string CollectDriver(velk_emu& state);

}  // namespace qx17_emu
