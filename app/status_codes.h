// The one status code every outcome ends up in, and the table that turns it into console text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx17_status {

inline constexpr std::size_t kMessageCapacity = 50;

// Length-prefixed Windows-1251 text, laid out as the table has always been stored.
struct StatusMessage {
  std::uint8_t Length;
  char Text[kMessageCapacity];
};
static_assert(sizeof(StatusMessage) == 51);

inline constexpr std::int32_t kMessageCount = 21;

extern std::int32_t Status;
extern const StatusMessage StatusMessages[kMessageCount];

// What the console shows after a phase name for a nonzero code: a space, then the text.
struct MessageLine {
  char Bytes[1 + kMessageCapacity];
  std::size_t Length;
};
MessageLine MessageFor(std::int32_t code);

}  // namespace qx17_status
