// The emulated port driver that stands behind the driver seam off Windows. Whoever wants another
// driver than the default (tests, a dry-run front end) configures it before the run starts.
#pragma once

#include "emulator/core/velk_emu.h"

namespace emulated_driver {

// The one instance, set to the emulator's defaults on first use.
velk_emu& Device();

}  // namespace emulated_driver
