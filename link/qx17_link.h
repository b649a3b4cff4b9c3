// Instrument link: the one request record, the record of the last replies, and the exchanges that
// make up a conversation with the instrument. Nothing here judges an outcome; the instrument
// object does.
#pragma once

#include <cstdint>
#include <span>

#include "driver/drv_502.h"

namespace qx17_link {

inline constexpr std::uint8_t CMD_IDENTIFY = 0x00;
inline constexpr std::uint8_t CMD_FINISH = 0x10;
inline constexpr std::uint8_t CMD_READ = 0x22;
// A write's command byte carries its length: CMD_WRITE + 1 .. CMD_WRITE + 8.
inline constexpr std::uint8_t CMD_WRITE = 0x32;

inline constexpr std::int32_t kPageSize = 256;
inline constexpr std::int32_t kMaxChunk = 8;
inline constexpr std::uint32_t kWakeParamC = 40000;

extern drv_502::DriverRequest DriverRequest;
extern std::int32_t PortIndex;
extern std::int32_t LastStatus;
extern std::int32_t DriverMinor;
extern std::int32_t DriverMajor;
extern std::uint16_t DataFormat;
extern std::uint8_t IdentByte3;
extern std::uint8_t IdentByte4;
extern std::int32_t IdentWord5;

// Called before every chunk with the count the caller asked for and the bytes moved so far.
using ProgressProc = void (*)(std::int32_t count, std::int32_t done);
extern ProgressProc ProgressHook;

bool QueryDriver();
void WakeInstrument();
void IdentifyInstrument();
void FinishLink();

// Moves bytes between page 0 of the instrument, from address `start`, and `buffer`. A run never
// passes the end of the page or of the buffer, and stops at the first chunk the driver fails.
void ReadPage(std::int32_t start, std::int32_t count, std::span<std::uint8_t> destination);
void WritePage(std::int32_t start, std::int32_t count, std::span<const std::uint8_t> source);

}  // namespace qx17_link
