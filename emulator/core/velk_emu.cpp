// Freestanding: built without the C++ library, so that a kernel-mode driver can link it as is.
#include "emulator/core/velk_emu.h"

#include <string.h>

namespace {

// Where the fields sit in the 60-byte record, little-endian.
constexpr uint32_t kStatusAt = 0;
constexpr uint32_t kReserved1At = 1;
constexpr uint32_t kParamAAt = 4;
constexpr uint32_t kParamBAt = 8;
constexpr uint32_t kParamCAt = 12;
constexpr uint32_t kDataPortAt = 16;
constexpr uint32_t kByteAAt = 18;
constexpr uint32_t kByteBAt = 19;
constexpr uint32_t kByteCAt = 20;
constexpr uint32_t kReserved2At = 21;
constexpr uint32_t kStatusPortAt = 22;
constexpr uint32_t kByteDAt = 24;
constexpr uint32_t kByteEAt = 25;
constexpr uint32_t kByteFAt = 26;
constexpr uint32_t kModeAt = 27;
constexpr uint32_t kPayloadAt = 28;
constexpr uint32_t kPayloadSize = 32;
static_assert(kPayloadAt + kPayloadSize == VELK_EMU_RECORD_SIZE);

// The instrument hangs on the first parallel port.
constexpr uint16_t kDataPort = 0x378;
constexpr uint16_t kStatusPort = 0x379;
constexpr uint32_t kFastParamC = 40000;
constexpr uint32_t kNormalParamC = 400000;

constexpr uint8_t kCmdIdentify = 0x00;
constexpr uint8_t kCmdFinish = 0x10;
constexpr uint8_t kCmdRead = 0x22;
constexpr uint8_t kCmdWriteBase = 0x32;
constexpr uint8_t kMaxChunk = 8;

constexpr uint8_t kIdentByte3 = 0x17;
constexpr uint8_t kIdentByte4 = 0x01;
constexpr uint16_t kIdentWord5 = 701;

constexpr char kIdentText[] = "VELK-502 emulated port driver";
static_assert(sizeof kIdentText <= kPayloadSize - 2);

using Record = uint8_t[VELK_EMU_RECORD_SIZE];

uint16_t Get16(const Record& r, uint32_t at) {
  return static_cast<uint16_t>(r[at] | (r[at + 1] << 8));
}

uint32_t Get32(const Record& r, uint32_t at) {
  return static_cast<uint32_t>(r[at]) | (static_cast<uint32_t>(r[at + 1]) << 8) |
         (static_cast<uint32_t>(r[at + 2]) << 16) | (static_cast<uint32_t>(r[at + 3]) << 24);
}

bool KnownCode(uint32_t code) {
  return code == VELK_EMU_IOCTL_GET_VERSION || code == VELK_EMU_IOCTL_SEND_BYTE ||
         code == VELK_EMU_IOCTL_WAKE || code == VELK_EMU_IOCTL_TRANSACT;
}

// The timing and framing parameters the driver is always given, whatever the port. ParamC is the
// one that changes: lowered for the wake-up sequence only.
bool DefaultsLoaded(const Record& r, uint32_t code) {
  uint32_t paramC = Get32(r, kParamCAt);
  bool paramCFits = paramC == kNormalParamC;
  if (code == VELK_EMU_IOCTL_WAKE) paramCFits = paramC == kFastParamC;
  if (code == VELK_EMU_IOCTL_SEND_BYTE)
    paramCFits = paramC == kFastParamC || paramC == kNormalParamC;
  return r[kStatusAt] == 0 && r[kReserved1At] == 0 && r[kReserved1At + 1] == 0 &&
         r[kReserved1At + 2] == 0 && Get32(r, kParamAAt) == 100 && Get32(r, kParamBAt) == 5 &&
         paramCFits && r[kByteAAt] == 0xFE && r[kByteBAt] == 0 && r[kByteCAt] == 1 &&
         r[kReserved2At] == 0 && r[kByteDAt] == 8 && r[kByteEAt] == 0 && r[kByteFAt] == 0xE6;
}

bool OnInstrumentPort(const Record& r) {
  return Get16(r, kDataPortAt) == kDataPort && Get16(r, kStatusPortAt) == kStatusPort;
}

// A read or write frame whose length is 1..8 and stays inside the page.
bool TransferFrameFits(const uint8_t* payload) {
  uint32_t length = payload[2];
  return length >= 1 && length <= kMaxChunk && payload[1] + length <= VELK_EMU_PAGE_SIZE;
}

bool FrameWellFormed(const Record& r) {
  const uint8_t* payload = r + kPayloadAt;
  uint8_t mode = r[kModeAt];
  uint8_t command = payload[0];
  if (command == kCmdIdentify) return mode == 1;
  if (command == kCmdFinish) return mode == 0;
  if (command == kCmdRead) return mode == 1 && TransferFrameFits(payload);
  if (command > kCmdWriteBase && command <= kCmdWriteBase + kMaxChunk) {
    return mode == 1 && TransferFrameFits(payload) && command == kCmdWriteBase + payload[2];
  }
  return false;
}

void AnswerVersion(const velk_emu* emu, Record& r) {
  uint8_t* payload = r + kPayloadAt;
  memset(payload, 0, kPayloadSize);
  payload[0] = emu->version_minor;
  payload[1] = emu->version_major;
  memcpy(payload + 2, kIdentText, sizeof kIdentText);
}

// Runs a well-formed transaction on an awake instrument.
void Transact(velk_emu* emu, Record& r) {
  uint8_t* payload = r + kPayloadAt;
  uint8_t command = payload[0];
  if (command == kCmdIdentify) {
    payload[1] = static_cast<uint8_t>(emu->data_format & 0xFF);
    payload[2] = static_cast<uint8_t>(emu->data_format >> 8);
    payload[3] = kIdentByte3;
    payload[4] = kIdentByte4;
    payload[5] = static_cast<uint8_t>(kIdentWord5 & 0xFF);
    payload[6] = static_cast<uint8_t>(kIdentWord5 >> 8);
  } else if (command == kCmdFinish) {
    emu->awake = 0;
  } else if (command == kCmdRead) {
    memcpy(payload + 1, emu->page + payload[1], payload[2]);
  } else {
    memcpy(emu->page + payload[1], payload + 3, payload[2]);
  }
}

// Handles a call that reached the driver with the right buffers; returns the reply status.
uint8_t Handle(velk_emu* emu, uint32_t code, Record& r) {
  if (!DefaultsLoaded(r, code)) return VELK_EMU_STATUS_PORT_ERROR;
  if (code == VELK_EMU_IOCTL_GET_VERSION) {
    AnswerVersion(emu, r);
    return VELK_EMU_STATUS_OK;
  }
  if (!OnInstrumentPort(r)) return VELK_EMU_STATUS_NO_SIGNAL;
  if (code == VELK_EMU_IOCTL_SEND_BYTE) return VELK_EMU_STATUS_OK;
  if (code == VELK_EMU_IOCTL_WAKE) {
    return r[kPayloadAt] == 0 ? VELK_EMU_STATUS_OK : VELK_EMU_STATUS_BAD_FRAME;
  }
  if (!FrameWellFormed(r)) return VELK_EMU_STATUS_BAD_FRAME;
  if (!emu->awake) return VELK_EMU_STATUS_NO_SIGNAL;
  Transact(emu, r);
  return VELK_EMU_STATUS_OK;
}

// The instrument wakes on send 0x00, wake, send 0xFF: three consecutive calls that each take
// effect. Any other call in between, or one without effect, starts the count over.
void TrackWakeUp(velk_emu* emu, uint32_t code, const Record& r) {
  uint8_t step = 0;
  if (code == VELK_EMU_IOCTL_SEND_BYTE && r[kPayloadAt] == 0x00) step = 1;
  if (code == VELK_EMU_IOCTL_WAKE && emu->wake_step == 1) step = 2;
  if (code == VELK_EMU_IOCTL_SEND_BYTE && r[kPayloadAt] == 0xFF && emu->wake_step == 2) {
    emu->awake = 1;
  }
  emu->wake_step = step;
}

const velk_emu_fault* FaultFor(const velk_emu* emu, uint32_t call) {
  const velk_emu_fault* found = nullptr;
  for (uint32_t i = 0; i < emu->fault_count; ++i) {
    const velk_emu_fault* fault = &emu->faults[i];
    if (fault->call != call) continue;
    if (fault->kind == VELK_EMU_FAULT_REFUSE) return fault;
    found = fault;
  }
  return found;
}

int AddFault(velk_emu* emu, uint32_t call, uint8_t kind, uint8_t status) {
  if (emu->fault_count >= VELK_EMU_MAX_FAULTS) return 0;
  velk_emu_fault* fault = &emu->faults[emu->fault_count++];
  fault->call = call;
  fault->kind = kind;
  fault->status = status;
  return 1;
}

}  // namespace

extern "C" {

uint8_t velk_emu_default_page_byte(uint32_t address) {
  return static_cast<uint8_t>(255 - (address & 0xFF));
}

void velk_emu_reset(velk_emu* emu) {
  memset(emu, 0, sizeof *emu);
  emu->present = 1;
  emu->version_major = 5;
  emu->version_minor = 2;
  emu->data_format = 0x0609;
  for (uint32_t a = 0; a < VELK_EMU_PAGE_SIZE; ++a) emu->page[a] = velk_emu_default_page_byte(a);
}

int velk_emu_open(const velk_emu* emu, const char* device_name) {
  if (!emu->present || device_name == nullptr) return 0;
  const char* expected = VELK_EMU_DEVICE_NAME;
  for (;; ++device_name, ++expected) {
    char a = *device_name;
    char b = *expected;
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return 0;
    if (a == '\0') return 1;
  }
}

int velk_emu_control(velk_emu* emu, uint32_t control_code, const void* in, uint32_t in_size,
                     void* out, uint32_t out_size, uint32_t* bytes_returned) {
  uint32_t call = ++emu->calls;
  velk_emu_exchange* traced = call <= VELK_EMU_TRACE_CAPACITY
                                  ? &emu->trace[call - 1]
                                  : static_cast<velk_emu_exchange*>(nullptr);
  if (bytes_returned != nullptr) *bytes_returned = 0;

  bool buffersFit = in != nullptr && out != nullptr && in_size == VELK_EMU_RECORD_SIZE &&
                    out_size == VELK_EMU_RECORD_SIZE;
  Record r;
  if (buffersFit)
    memcpy(r, in, sizeof r);
  else
    memset(r, 0, sizeof r);
  if (traced != nullptr) {
    traced->control_code = control_code;
    memcpy(traced->request, r, sizeof r);
  }

  const velk_emu_fault* fault = FaultFor(emu, call);
  uint8_t outcome = VELK_EMU_ANSWERED;
  bool tookEffect = false;
  if (!buffersFit || !KnownCode(control_code)) {
    outcome = VELK_EMU_INVALID;
  } else if (fault != nullptr && fault->kind == VELK_EMU_FAULT_REFUSE) {
    outcome = VELK_EMU_REFUSED;
  } else if (fault != nullptr && fault->status != VELK_EMU_STATUS_OK) {
    outcome = VELK_EMU_INJECTED;
    r[kStatusAt] = fault->status;
  } else {
    // Handle rewrites the payload only for the version query and transactions, whose wake-up
    // step does not look at it, so the byte a send carried is still in place afterwards.
    r[kStatusAt] = Handle(emu, control_code, r);
    tookEffect = r[kStatusAt] == VELK_EMU_STATUS_OK;
    if (tookEffect) TrackWakeUp(emu, control_code, r);
  }
  if (!tookEffect) emu->wake_step = 0;

  if (traced != nullptr) {
    traced->outcome = outcome;
    memcpy(traced->reply, r, sizeof r);
  }
  if (outcome == VELK_EMU_INVALID || outcome == VELK_EMU_REFUSED) return 0;
  memcpy(out, r, sizeof r);
  if (bytes_returned != nullptr) *bytes_returned = VELK_EMU_RECORD_SIZE;
  return 1;
}

int velk_emu_inject_status(velk_emu* emu, uint32_t call, uint8_t status) {
  return AddFault(emu, call, VELK_EMU_FAULT_STATUS, status);
}

int velk_emu_refuse_call(velk_emu* emu, uint32_t call) {
  return AddFault(emu, call, VELK_EMU_FAULT_REFUSE, 0);
}

const velk_emu_exchange* velk_emu_traced(const velk_emu* emu, uint32_t call) {
  if (call == 0 || call > emu->calls || call > VELK_EMU_TRACE_CAPACITY) return nullptr;
  return &emu->trace[call - 1];
}

}  // extern "C"
