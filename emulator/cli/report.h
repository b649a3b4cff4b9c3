// The protocol report of the emulator console: every device-control call, decoded, and the
// instrument's block before and after.
#pragma once

#include <cstdint>
#include <string>

#include "emulator/core/velk_emu.h"

namespace qx17_emu {

// One line for one traced call, without its line end.
std::string DescribeCall(std::uint32_t number, const velk_emu_exchange& exchange);

std::string Report(const velk_emu& device, const std::uint8_t (&pageBefore)[VELK_EMU_PAGE_SIZE]);

}  // namespace qx17_emu
