/*
 * Emulated parallel-port driver with the instrument behind it. Plain C interface over a state
 * block the caller owns (a static, a test fixture, a kernel device extension): no heap, no
 * exceptions, no global state, nothing beyond fixed-width integers, memcpy and memset.
 */
#ifndef VELK_EMU_H
#define VELK_EMU_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VELK_EMU_DEVICE_NAME "\\\\.\\velk_502"
#define VELK_EMU_RECORD_SIZE 60
#define VELK_EMU_PAGE_SIZE 256
#define VELK_EMU_MAX_FAULTS 64
#define VELK_EMU_TRACE_CAPACITY 64

#define VELK_EMU_IOCTL_GET_VERSION 0x222000u
#define VELK_EMU_IOCTL_SEND_BYTE 0x222008u
#define VELK_EMU_IOCTL_WAKE 0x22200Cu
#define VELK_EMU_IOCTL_TRANSACT 0x222048u

/* Reply status bytes the emulated driver gives of its own accord. */
#define VELK_EMU_STATUS_OK 0
#define VELK_EMU_STATUS_NO_SIGNAL 1  /* instrument asleep, or no instrument on that port */
#define VELK_EMU_STATUS_BAD_FRAME 2  /* command frame the instrument cannot take */
#define VELK_EMU_STATUS_PORT_ERROR 3 /* port parameters other than the driver's defaults */

/* What became of one device-control call. */
enum velk_emu_outcome {
  VELK_EMU_ANSWERED = 0, /* the driver handled it; the reply status tells how it went */
  VELK_EMU_INJECTED = 1, /* a configured reply status stood in for the answer */
  VELK_EMU_REFUSED = 2,  /* a configured fault: the call failed outright */
  VELK_EMU_INVALID = 3   /* unknown control code or wrong buffer sizes: the call failed */
};

enum velk_emu_fault_kind { VELK_EMU_FAULT_STATUS = 0, VELK_EMU_FAULT_REFUSE = 1 };

typedef struct velk_emu_fault {
  uint32_t call; /* device-control call number, counting from 1 */
  uint8_t kind;  /* velk_emu_fault_kind */
  uint8_t status;
} velk_emu_fault;

typedef struct velk_emu_exchange {
  uint32_t control_code;
  uint8_t outcome; /* velk_emu_outcome */
  uint8_t request[VELK_EMU_RECORD_SIZE];
  uint8_t reply[VELK_EMU_RECORD_SIZE];
} velk_emu_exchange;

typedef struct velk_emu {
  /* Configuration; velk_emu_reset sets the defaults, callers may change them before use. */
  uint8_t present;
  uint8_t version_major;
  uint8_t version_minor;
  uint16_t data_format;
  uint8_t page[VELK_EMU_PAGE_SIZE];
  velk_emu_fault faults[VELK_EMU_MAX_FAULTS];
  uint32_t fault_count;

  /* Instrument state. */
  uint8_t awake;
  uint8_t wake_step; /* how much of the wake-up sequence the last calls made */

  /* Every call that reached the driver; the trace keeps the first VELK_EMU_TRACE_CAPACITY. */
  uint32_t calls;
  velk_emu_exchange trace[VELK_EMU_TRACE_CAPACITY];
} velk_emu;

/* Present, version 5.2, data format 0x0609, the default page, asleep, no faults, no calls. */
void velk_emu_reset(velk_emu* emu);

/* The page every reset starts from: byte at address a is 255 - a. */
uint8_t velk_emu_default_page_byte(uint32_t address);

/* 1 when a device of this name is present (names compare without regard to ASCII case). */
int velk_emu_open(const velk_emu* emu, const char* device_name);

/* One device-control call. `in` and `out` may be the same buffer. Returns 1 when the call
 * succeeded, 0 when it failed; a failed call leaves `out` untouched. */
int velk_emu_control(velk_emu* emu, uint32_t control_code, const void* in, uint32_t in_size,
                     void* out, uint32_t out_size, uint32_t* bytes_returned);

/* Faults for the N-th call (from 1). Return 0 when the fault table is full. */
int velk_emu_inject_status(velk_emu* emu, uint32_t call, uint8_t status);
int velk_emu_refuse_call(velk_emu* emu, uint32_t call);

/* The trace entry of call N (from 1), or 0 when the trace does not hold it. */
const velk_emu_exchange* velk_emu_traced(const velk_emu* emu, uint32_t call);

#ifdef __cplusplus
}
#endif

#endif /* VELK_EMU_H */
