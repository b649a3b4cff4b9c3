#include "app/status_codes.h"

#include <cstring>

namespace qx17_status {

namespace {

template <std::size_t N>
constexpr StatusMessage Text(const char (&text)[N]) {
  static_assert(N - 1 <= kMessageCapacity);
  StatusMessage message{};
  message.Length = static_cast<std::uint8_t>(N - 1);
  for (std::size_t i = 0; i + 1 < N; ++i) message.Text[i] = text[i];
  return message;
}

constexpr StatusMessage kEmpty{};

// Codes past the table come straight from the driver; the line names the number instead.
constexpr char kUnknownPrefix[] = " Unknown driver status ";

}  // namespace

std::int32_t Status = 0;

const StatusMessage StatusMessages[kMessageCount] = {
    kEmpty,
    Text("Signal not found!"),
    Text("Check sum error!"),
    Text("LPT Port error!"),
    Text("LPT Port Driver not found!"),
    // "Недопустимый размер файла!" in Windows-1251.
    Text("\xCD\xE5\xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xFB\xE9 \xF0\xE0\xE7\xEC\xE5\xF0 "
         "\xF4\xE0\xE9\xEB\xE0!"),
    // "Недопустимый формат файла!" in Windows-1251.
    Text("\xCD\xE5\xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xFB\xE9 \xF4\xEE\xF0\xEC\xE0\xF2 "
         "\xF4\xE0\xE9\xEB\xE0!"),
    Text("LPT Port Driver Invalid Version!"),
    Text("Data format not supported!"),
    Text("Memory Data format not supported!"),
    Text("Too many channels!"),
    kEmpty,
    kEmpty,
    kEmpty,
    kEmpty,
    kEmpty,
    kEmpty,
    kEmpty,
    kEmpty,
    kEmpty,
    kEmpty,
};

MessageLine MessageFor(std::int32_t code) {
  MessageLine line{};
  if (code >= 0 && code < kMessageCount) {
    const StatusMessage& message = StatusMessages[code];
    std::size_t length = message.Length < kMessageCapacity ? message.Length : kMessageCapacity;
    line.Bytes[0] = ' ';
    std::memcpy(line.Bytes + 1, message.Text, length);
    line.Length = 1 + length;
    return line;
  }
  std::size_t length = sizeof kUnknownPrefix - 1;
  std::memcpy(line.Bytes, kUnknownPrefix, length);
  std::uint32_t magnitude =
      code < 0 ? 0U - static_cast<std::uint32_t>(code) : static_cast<std::uint32_t>(code);
  if (code < 0) line.Bytes[length++] = '-';
  char digits[10];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count > 0) line.Bytes[length++] = digits[--count];
  line.Bytes[length++] = '!';
  line.Length = length;
  return line;
}

}  // namespace qx17_status
