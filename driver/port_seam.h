// The three Windows I/O calls the driver channel needs, and nothing more. On Windows they are the
// system's own; elsewhere an emulated port driver answers, and tests may put a recording fake here.
#pragma once

#include <cstdint>

namespace port_seam {

// Wide enough for a Win64 HANDLE; the channel decides which values count as open.
using Handle = std::uintptr_t;

inline constexpr Handle kInvalidHandle = ~Handle{0};

inline constexpr std::uint32_t kGenericRead = 0x80000000U;
inline constexpr std::uint32_t kGenericWrite = 0x40000000U;
inline constexpr std::uint32_t kOpenAlways = 4;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;

Handle CreateFileA(const char* fileName, std::uint32_t desiredAccess, std::uint32_t shareMode,
                   void* securityAttributes, std::uint32_t creationDisposition,
                   std::uint32_t flagsAndAttributes, Handle templateFile);

bool DeviceIoControl(Handle device, std::uint32_t controlCode, void* inBuffer,
                     std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                     std::uint32_t* bytesReturned, void* overlapped);

bool CloseHandle(Handle object);

}  // namespace port_seam
