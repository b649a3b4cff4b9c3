#include "tests/support/recording_seam.h"

#include <algorithm>
#include <cstring>

namespace recording_seam {

FakeDriver& Fake() {
  static FakeDriver fake = [] {
    FakeDriver created;
    velk_emu_reset(&created.emulator);
    return created;
  }();
  return fake;
}

std::vector<SeamCall> FakeDriver::CallsOf(CallKind kind) const {
  std::vector<SeamCall> matching;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(matching),
               [kind](const SeamCall& call) { return call.kind == kind; });
  return matching;
}

}  // namespace recording_seam

namespace port_seam {

using recording_seam::CallKind;
using recording_seam::Fake;
using recording_seam::SeamCall;

Handle CreateFileA(const char* fileName, std::uint32_t desiredAccess, std::uint32_t shareMode,
                   void* securityAttributes, std::uint32_t creationDisposition,
                   std::uint32_t flagsAndAttributes, Handle templateFile) {
  SeamCall call;
  call.kind = CallKind::kCreateFile;
  call.fileName = fileName;
  call.desiredAccess = desiredAccess;
  call.shareMode = shareMode;
  call.securityAttributesNull = securityAttributes == nullptr;
  call.creationDisposition = creationDisposition;
  call.flagsAndAttributes = flagsAndAttributes;
  call.templateNull = templateFile == 0;
  call.handle = Fake().createResult;
  Fake().calls.push_back(call);
  return call.handle;
}

bool DeviceIoControl(Handle device, std::uint32_t controlCode, void* inBuffer,
                     std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                     std::uint32_t* bytesReturned, void* overlapped) {
  SeamCall call;
  call.kind = CallKind::kDeviceIoControl;
  call.handle = device;
  call.controlCode = controlCode;
  call.inSize = inBufferSize;
  call.outSize = outBufferSize;
  call.sameBuffer = inBuffer == outBuffer;
  call.bytesReturnedGiven = bytesReturned != nullptr;
  call.overlappedNull = overlapped == nullptr;
  if (inBufferSize == call.request.size()) std::memcpy(call.request.data(), inBuffer, inBufferSize);

  recording_seam::Record record = call.request;
  std::uint32_t returned = 0;
  if (Fake().respond) {
    call.succeeded = Fake().respond(controlCode, record);
    if (call.succeeded) returned = inBufferSize;
  } else {
    call.succeeded = velk_emu_control(&Fake().emulator, controlCode, call.request.data(),
                                      inBufferSize, record.data(), outBufferSize, &returned) != 0;
  }
  if (call.succeeded && outBufferSize == record.size()) {
    std::memcpy(outBuffer, record.data(), record.size());
  }
  if (bytesReturned != nullptr) *bytesReturned = returned;
  call.reply = record;
  Fake().calls.push_back(call);
  return call.succeeded;
}

bool CloseHandle(Handle object) {
  SeamCall call;
  call.kind = CallKind::kCloseHandle;
  call.handle = object;
  Fake().calls.push_back(call);
  return true;
}

}  // namespace port_seam
