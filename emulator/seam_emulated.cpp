// The driver seam off Windows: the Win32 calls as the I/O manager would answer them, with the
// emulated driver behind the one device name.
#include "driver/port_seam.h"
#include "emulator/emulated_driver.h"

namespace emulated_driver {

namespace {

velk_emu State;
bool Ready = false;
bool HandleOpen = false;
// An ordinary-looking kernel handle value.
constexpr port_seam::Handle kDeviceHandle = 0x1F4;

}  // namespace

velk_emu& Device() {
  if (!Ready) {
    velk_emu_reset(&State);
    Ready = true;
  }
  return State;
}

}  // namespace emulated_driver

namespace port_seam {

using emulated_driver::Device;
using emulated_driver::HandleOpen;
using emulated_driver::kDeviceHandle;

Handle CreateFileA(const char* fileName, std::uint32_t /*desiredAccess*/,
                   std::uint32_t /*shareMode*/, void* /*securityAttributes*/,
                   std::uint32_t /*creationDisposition*/, std::uint32_t /*flagsAndAttributes*/,
                   Handle /*templateFile*/) {
  // Share mode 0 asks for sole use of the device.
  if (HandleOpen || velk_emu_open(&Device(), fileName) == 0) return kInvalidHandle;
  HandleOpen = true;
  return kDeviceHandle;
}

bool DeviceIoControl(Handle device, std::uint32_t controlCode, void* inBuffer,
                     std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                     std::uint32_t* bytesReturned, void* overlapped) {
  if (!HandleOpen || device != kDeviceHandle || overlapped != nullptr) return false;
  std::uint32_t returned = 0;
  bool ok = velk_emu_control(&Device(), controlCode, inBuffer, inBufferSize, outBuffer,
                             outBufferSize, &returned) != 0;
  if (bytesReturned != nullptr) *bytesReturned = returned;
  return ok;
}

bool CloseHandle(Handle object) {
  if (!HandleOpen || object != kDeviceHandle) return false;
  HandleOpen = false;
  return true;
}

}  // namespace port_seam
