// A driver seam for tests: records every Win32 call the channel makes, with its arguments, and
// answers device control through the emulated driver unless a test scripts the reply itself.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver/port_seam.h"
#include "emulator/core/velk_emu.h"

namespace recording_seam {

using Record = std::array<std::uint8_t, VELK_EMU_RECORD_SIZE>;

enum class CallKind { kCreateFile, kDeviceIoControl, kCloseHandle };

struct SeamCall {
  CallKind kind = CallKind::kCreateFile;
  port_seam::Handle handle = 0;  // the handle passed in (control, close) or returned (open)
  // CreateFileA
  std::string fileName;
  std::uint32_t desiredAccess = 0;
  std::uint32_t shareMode = 0;
  bool securityAttributesNull = false;
  std::uint32_t creationDisposition = 0;
  std::uint32_t flagsAndAttributes = 0;
  bool templateNull = false;
  // DeviceIoControl
  std::uint32_t controlCode = 0;
  std::uint32_t inSize = 0;
  std::uint32_t outSize = 0;
  bool sameBuffer = false;
  bool bytesReturnedGiven = false;
  bool overlappedNull = false;
  Record request{};
  Record reply{};
  bool succeeded = false;
};

// Answers one device-control call in place; returns whether the call succeeded.
using Responder = std::function<bool(std::uint32_t controlCode, Record& record)>;

struct FakeDriver {
  port_seam::Handle createResult = 0x1F4;
  Responder respond;  // empty: the emulated driver below answers
  velk_emu emulator{};
  std::vector<SeamCall> calls;

  std::vector<SeamCall> CallsOf(CallKind kind) const;
};

// The fake, fresh with the emulator's defaults in every new process.
FakeDriver& Fake();

}  // namespace recording_seam
