/*
 * velk_502.sys: the emulated port driver as a WDM driver. All request handling is the emulator
 * core's; this glue only creates the device, completes create and close, and hands every device
 * control to the core with the buffered record.
 */
#include <ddk/wdm.h>

#include "emulator/core/velk_emu.h"
#include "emulator/kernel/velk_502_control.h"

static const WCHAR DeviceName[] = L"\\Device\\velk_502";
static const WCHAR LinkName[] = L"\\DosDevices\\velk_502";

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static NTSTATUS CreateClose(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  velk_emu* emu = (velk_emu*)device->DeviceExtension;
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  ULONG inSize = stack->Parameters.DeviceIoControl.InputBufferLength;
  ULONG outSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
  void* buffer = irp->AssociatedIrp.SystemBuffer;

  if (code == VELK_502_IOCTL_SET_STATE) {
    if (buffer == NULL || inSize != sizeof(velk_emu)) {
      return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
    }
    memcpy(emu, buffer, sizeof(velk_emu));
    return Complete(irp, STATUS_SUCCESS, 0);
  }
  if (code == VELK_502_IOCTL_GET_STATE) {
    if (buffer == NULL || outSize != sizeof(velk_emu)) {
      return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
    }
    memcpy(buffer, emu, sizeof(velk_emu));
    return Complete(irp, STATUS_SUCCESS, sizeof(velk_emu));
  }

  /* Whatever the core does not answer fails the call, so that DeviceIoControl reports failure
   * and the caller's record stays as it was. */
  uint32_t returned = 0;
  int answered = velk_emu_control(emu, code, buffer, inSize, buffer, outSize, &returned);
  return Complete(irp, answered ? STATUS_SUCCESS : STATUS_INVALID_DEVICE_REQUEST,
                  answered ? returned : 0);
}

static void Unload(PDRIVER_OBJECT driver) {
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, LinkName);
  IoDeleteSymbolicLink(&link);
  if (driver->DeviceObject != NULL) IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  (void)registryPath;
  UNICODE_STRING name;
  UNICODE_STRING link;
  PDEVICE_OBJECT device = NULL;
  RtlInitUnicodeString(&name, DeviceName);
  RtlInitUnicodeString(&link, LinkName);

  NTSTATUS status =
      IoCreateDevice(driver, sizeof(velk_emu), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  velk_emu_reset((velk_emu*)device->DeviceExtension);
  device->Flags |= DO_BUFFERED_IO;

  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = CreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = CreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DeviceControl;
  driver->DriverUnload = Unload;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}
