// Test-side encoder for the console's Russian texts, so expected bytes are written as readable
// Russian here and not copied from the product's table.
#pragma once

#include <string>

// Windows-1251 puts the Cyrillic letters A..ya (U+0410..U+044F) at 0xC0..0xFF in the same order;
// anything else outside ASCII becomes '?', which no expected text contains.
inline std::string Cp1251(const std::string& utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
      continue;
    }
    unsigned codePoint = 0;
    if ((lead & 0xE0U) == 0xC0U && i + 1 < utf8.size()) {
      codePoint = ((lead & 0x1FU) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3FU);
    }
    bool cyrillic = codePoint >= 0x410 && codePoint <= 0x44F;
    bytes += cyrillic ? static_cast<char>(0xC0 + (codePoint - 0x410)) : '?';
  }
  return bytes;
}
