// Byte-level facts several suites check against, written down once.
#pragma once

#include <cstdint>
#include <string>

// What the utility prints in a clean run.
inline const std::string kCleanRunConsole =
    "\r\nReading QX17...OK!\r\nWriting QX17...OK!\r\nPress any key...\r\n";

// ParamC of a raw request record: offset 12, little-endian.
inline std::uint32_t ParamCOf(const std::uint8_t* record) {
  return record[12] | (record[13] << 8) | (record[14] << 16) |
         (static_cast<std::uint32_t>(record[15]) << 24);
}
