#include "link/qx17_link.h"

#include <algorithm>
#include <cstddef>

namespace qx17_link {

namespace {

void NoProgress(std::int32_t /*count*/, std::int32_t /*done*/) {}

constexpr std::uint8_t kSendLow = 0x00;
constexpr std::uint8_t kSendHigh = 0xFF;

void SendByte(std::uint8_t value) {
  DriverRequest.Payload[0] = value;
  drv_502::Exchange(DriverRequest, drv_502::IOCTL_SEND_BYTE);
}

// One chunk exchange; the read direction copies nothing here, the caller does once the status is
// known to be good.
void TransactChunk() {
  drv_502::Exchange(DriverRequest, drv_502::IOCTL_TRANSACT);
  LastStatus = DriverRequest.ReplyStatus;
}

// The bytes a transfer may move, or 0 when it moves none.
std::int32_t TransferLength(std::int32_t start, std::int32_t count, std::size_t bufferSize) {
  if (start < 0) return 0;
  std::int32_t offset = start % kPageSize;
  std::int32_t n = count % (kPageSize + 1);
  if (n <= 0) return 0;
  n = std::min(n, kPageSize - offset);
  return static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(n), bufferSize));
}

template <bool kWrite, typename Byte>
void TransferPage(std::int32_t start, std::int32_t count, std::span<Byte> buffer) {
  DriverRequest.Mode = 1;
  std::int32_t n = TransferLength(start, count, buffer.size());
  std::int32_t offset = start % kPageSize;
  std::int32_t done = 0;
  while (n > 0) {
    ProgressHook(count, done);
    std::int32_t chunk = std::min(n, kMaxChunk);
    n -= chunk;
    std::uint8_t* payload = DriverRequest.Payload;
    if constexpr (kWrite) {
      payload[0] = static_cast<std::uint8_t>(CMD_WRITE + chunk);
      std::copy_n(buffer.begin() + done, chunk, payload + 3);
    } else {
      payload[0] = CMD_READ;
    }
    payload[1] = static_cast<std::uint8_t>(offset);
    payload[2] = static_cast<std::uint8_t>(chunk);
    TransactChunk();
    if (LastStatus != 0) return;
    if constexpr (!kWrite) std::copy_n(payload + 1, chunk, buffer.begin() + done);
    done += chunk;
    offset += chunk;
  }
}

}  // namespace

drv_502::DriverRequest DriverRequest{};
std::int32_t PortIndex = 0;
std::int32_t LastStatus = 0;
std::int32_t DriverMinor = 0;
std::int32_t DriverMajor = 0;
std::uint16_t DataFormat = 0;
std::uint8_t IdentByte3 = 0;
std::uint8_t IdentByte4 = 0;
std::int32_t IdentWord5 = 0;
ProgressProc ProgressHook = NoProgress;

bool QueryDriver() {
  if (!drv_502::OpenDriver()) return false;
  drv_502::InitRequest(DriverRequest, PortIndex);
  drv_502::Exchange(DriverRequest, drv_502::IOCTL_GET_VERSION);
  LastStatus = DriverRequest.ReplyStatus;
  DriverMinor = DriverRequest.Payload[0];
  DriverMajor = DriverRequest.Payload[1];
  return true;
}

void WakeInstrument() {
  std::uint32_t keptParamC = DriverRequest.ParamC;
  DriverRequest.ParamC = kWakeParamC;
  SendByte(kSendLow);
  // The wake request expects the 0x00 the step before left in the payload.
  drv_502::Exchange(DriverRequest, drv_502::IOCTL_WAKE);
  SendByte(kSendHigh);
  DriverRequest.ParamC = keptParamC;
}

void IdentifyInstrument() {
  DriverRequest.Mode = 1;
  DriverRequest.Payload[0] = CMD_IDENTIFY;
  TransactChunk();
  const std::uint8_t* reply = DriverRequest.Payload;
  DataFormat = static_cast<std::uint16_t>(reply[1] | (reply[2] << 8));
  IdentByte3 = reply[3];
  IdentByte4 = reply[4];
  IdentWord5 = reply[5] | (reply[6] << 8);
}

void FinishLink() {
  DriverRequest.Mode = 0;
  DriverRequest.Payload[0] = CMD_FINISH;
  drv_502::Exchange(DriverRequest, drv_502::IOCTL_TRANSACT);
  SendByte(kSendHigh);
}

void ReadPage(std::int32_t start, std::int32_t count, std::span<std::uint8_t> destination) {
  TransferPage<false>(start, count, destination);
}

void WritePage(std::int32_t start, std::int32_t count, std::span<const std::uint8_t> source) {
  TransferPage<true>(start, count, source);
}

}  // namespace qx17_link
