#include "driver/drv_502.h"

#include "driver/port_seam.h"

namespace drv_502 {

std::uint32_t DriverHandle = 0;
const std::uint16_t PortBaseTable[2] = {0x378, 0x278};

bool DriverIsOpen() {
  return DriverHandle > 0 && DriverHandle < 0x80000000U;
}

bool OpenDriver() {
  if (DriverIsOpen()) return true;
  // OPEN_ALWAYS, not OPEN_EXISTING: the driver was built to be opened that way.
  port_seam::Handle handle =
      port_seam::CreateFileA(kDeviceName, port_seam::kGenericRead | port_seam::kGenericWrite, 0,
                             nullptr, port_seam::kOpenAlways, port_seam::kFileAttributeNormal, 0);
  // Kernel handles fit in 32 bits even in a 64-bit process; INVALID_HANDLE_VALUE truncates to
  // 0xFFFFFFFF and so counts as closed.
  DriverHandle = static_cast<std::uint32_t>(handle);
  if (DriverIsOpen()) return true;
  CloseDriver();
  return false;
}

void CloseDriver() {
  if (DriverIsOpen()) port_seam::CloseHandle(DriverHandle);
  DriverHandle = 0;
}

void InitRequest(DriverRequest& request, std::int32_t portIndex) {
  // An unknown port gets port addresses of 0 rather than whatever lies past the table, so the
  // driver refuses it instead of driving some other device.
  std::uint16_t base = 0;
  if (portIndex >= 0 && portIndex < 2) base = PortBaseTable[portIndex];
  request.ReplyStatus = 0;
  request.ParamA = kDefaultParamA;
  request.ParamB = kDefaultParamB;
  request.ParamC = kDefaultParamC;
  request.DataPort = base;
  request.ByteA = 0xFE;
  request.ByteB = 0;
  request.ByteC = 1;
  request.StatusPort = base == 0 ? 0 : static_cast<std::uint16_t>(base + 1);
  request.ByteD = 8;
  request.ByteE = 0;
  request.ByteF = 0xE6;
  request.Mode = 0;
  for (std::uint8_t& byte : request.Payload) byte = 0;
}

void Exchange(DriverRequest& request, std::uint32_t controlCode) {
  request.ReplyStatus = 0;
  if (!DriverIsOpen()) return;
  std::uint32_t bytesReturned = 0;
  bool ok = port_seam::DeviceIoControl(DriverHandle, controlCode, &request, sizeof request,
                                       &request, sizeof request, &bytesReturned, nullptr);
  // A call that failed brought no reply back; left at 0, the status would pass the record's own
  // request bytes off as instrument data.
  if (!ok) request.ReplyStatus = kChannelFailureStatus;
}

}  // namespace drv_502
