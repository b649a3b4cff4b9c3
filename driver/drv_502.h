// Driver channel: the one handle to the parallel-port driver, the request record that crosses to
// it, and a single device-control exchange.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace drv_502 {

static_assert(std::endian::native == std::endian::little,
              "the request record is handed to the driver byte for byte, little-endian");

inline constexpr char kDeviceName[] = "\\\\.\\velk_502";

// The record travels both ways through one buffer: the driver rewrites it in place.
struct DriverRequest {
  std::uint8_t ReplyStatus;
  std::uint8_t Reserved1[3];
  std::uint32_t ParamA;
  std::uint32_t ParamB;
  std::uint32_t ParamC;
  std::uint16_t DataPort;
  std::uint8_t ByteA;
  std::uint8_t ByteB;
  std::uint8_t ByteC;
  std::uint8_t Reserved2;
  std::uint16_t StatusPort;
  std::uint8_t ByteD;
  std::uint8_t ByteE;
  std::uint8_t ByteF;
  std::uint8_t Mode;
  std::uint8_t Payload[32];
};

static_assert(sizeof(DriverRequest) == 60);
static_assert(offsetof(DriverRequest, ReplyStatus) == 0);
static_assert(offsetof(DriverRequest, Reserved1) == 1);
static_assert(offsetof(DriverRequest, ParamA) == 4);
static_assert(offsetof(DriverRequest, ParamB) == 8);
static_assert(offsetof(DriverRequest, ParamC) == 12);
static_assert(offsetof(DriverRequest, DataPort) == 16);
static_assert(offsetof(DriverRequest, ByteA) == 18);
static_assert(offsetof(DriverRequest, ByteB) == 19);
static_assert(offsetof(DriverRequest, ByteC) == 20);
static_assert(offsetof(DriverRequest, Reserved2) == 21);
static_assert(offsetof(DriverRequest, StatusPort) == 22);
static_assert(offsetof(DriverRequest, ByteD) == 24);
static_assert(offsetof(DriverRequest, ByteE) == 25);
static_assert(offsetof(DriverRequest, ByteF) == 26);
static_assert(offsetof(DriverRequest, Mode) == 27);
static_assert(offsetof(DriverRequest, Payload) == 28);

// Buffered, any-access control codes of an unknown device type.
constexpr std::uint32_t CtlCode(std::uint32_t function) {
  constexpr std::uint32_t kFileDeviceUnknown = 0x22;
  constexpr std::uint32_t kMethodBuffered = 0;
  constexpr std::uint32_t kFileAnyAccess = 0;
  return (kFileDeviceUnknown << 16) | (kFileAnyAccess << 14) | (function << 2) | kMethodBuffered;
}

inline constexpr std::uint32_t IOCTL_GET_VERSION = CtlCode(0x800);
inline constexpr std::uint32_t IOCTL_SEND_BYTE = CtlCode(0x802);
inline constexpr std::uint32_t IOCTL_WAKE = CtlCode(0x803);
inline constexpr std::uint32_t IOCTL_TRANSACT = CtlCode(0x812);
static_assert(IOCTL_GET_VERSION == 0x222000);
static_assert(IOCTL_SEND_BYTE == 0x222008);
static_assert(IOCTL_WAKE == 0x22200C);
static_assert(IOCTL_TRANSACT == 0x222048);

// Status byte the channel itself reports when the device-control call fails: the record never
// reached the driver, so nothing in it is a reply.
inline constexpr std::uint8_t kChannelFailureStatus = 3;

inline constexpr std::uint32_t kDefaultParamA = 100;
inline constexpr std::uint32_t kDefaultParamB = 5;
inline constexpr std::uint32_t kDefaultParamC = 400000;

extern std::uint32_t DriverHandle;
extern const std::uint16_t PortBaseTable[2];

bool DriverIsOpen();
bool OpenDriver();
void CloseDriver();
void InitRequest(DriverRequest& request, std::int32_t portIndex);
void Exchange(DriverRequest& request, std::uint32_t controlCode);

}  // namespace drv_502
