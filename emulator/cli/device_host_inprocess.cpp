#include "emulator/cli/device_host.h"
#include "emulator/emulated_driver.h"

namespace qx17_emu {

std::string PrepareDriver(const velk_emu& state) {
  emulated_driver::Device() = state;
  return {};
}

std::string CollectDriver(velk_emu& state) {
  state = emulated_driver::Device();
  return {};
}

}  // namespace qx17_emu
