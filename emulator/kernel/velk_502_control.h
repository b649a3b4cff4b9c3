/*
 * The kernel-mode emulated driver's private control codes, which the utility never sends: a test
 * harness sets the whole emulator state (configuration, page, faults) and reads it back with the
 * trace. Both carry one velk_emu block as it is laid out in velk_emu.h.
 */
#ifndef VELK_502_CONTROL_H
#define VELK_502_CONTROL_H

/* CTL_CODE(FILE_DEVICE_UNKNOWN, 0x900 / 0x901, METHOD_BUFFERED, FILE_ANY_ACCESS) */
#define VELK_502_IOCTL_SET_STATE 0x222400u
#define VELK_502_IOCTL_GET_STATE 0x222404u

#define VELK_502_SERVICE_NAME "velk_502"

#endif /* VELK_502_CONTROL_H */
