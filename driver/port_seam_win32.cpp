// The seam on Windows: straight through to the system's calls.
#include <windows.h>

#include "driver/port_seam.h"

namespace port_seam {

Handle CreateFileA(const char* fileName, std::uint32_t desiredAccess, std::uint32_t shareMode,
                   void* securityAttributes, std::uint32_t creationDisposition,
                   std::uint32_t flagsAndAttributes, Handle templateFile) {
  HANDLE result = ::CreateFileA(
      fileName, desiredAccess, shareMode, static_cast<LPSECURITY_ATTRIBUTES>(securityAttributes),
      creationDisposition, flagsAndAttributes, reinterpret_cast<HANDLE>(templateFile));
  return reinterpret_cast<Handle>(result);
}

bool DeviceIoControl(Handle device, std::uint32_t controlCode, void* inBuffer,
                     std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                     std::uint32_t* bytesReturned, void* overlapped) {
  DWORD returned = 0;
  BOOL ok =
      ::DeviceIoControl(reinterpret_cast<HANDLE>(device), controlCode, inBuffer, inBufferSize,
                        outBuffer, outBufferSize, &returned, static_cast<LPOVERLAPPED>(overlapped));
  if (bytesReturned != nullptr) *bytesReturned = returned;
  return ok != FALSE;
}

bool CloseHandle(Handle object) {
  return ::CloseHandle(reinterpret_cast<HANDLE>(object)) != FALSE;
}

}  // namespace port_seam
