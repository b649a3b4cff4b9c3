#include "emulator/cli/report.h"

#include <cstdio>

namespace qx17_emu {

namespace {

constexpr std::size_t kMode = 27;
constexpr std::size_t kPayload = 28;
constexpr std::uint32_t kBlockStart = 32;
constexpr std::uint32_t kBlockEnd = 64;

std::string Hex2(std::uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

const char* CodeName(std::uint32_t code) {
  switch (code) {
    case VELK_EMU_IOCTL_GET_VERSION:
      return "GET_VERSION";
    case VELK_EMU_IOCTL_SEND_BYTE:
      return "SEND_BYTE";
    case VELK_EMU_IOCTL_WAKE:
      return "WAKE";
    case VELK_EMU_IOCTL_TRANSACT:
      return "TRANSACT";
    default:
      return "unknown";
  }
}

bool Answered(const velk_emu_exchange& e) {
  return e.outcome == VELK_EMU_ANSWERED && e.reply[0] == 0;
}

std::string Frame(const velk_emu_exchange& e) {
  const std::uint8_t* request = e.request + kPayload;
  const std::uint8_t* reply = e.reply + kPayload;
  switch (e.control_code) {
    case VELK_EMU_IOCTL_GET_VERSION:
      return Answered(e) ? "version -> " + std::to_string(reply[1]) + "." + std::to_string(reply[0])
                         : "version";
    case VELK_EMU_IOCTL_SEND_BYTE:
      return "send 0x" + Hex2(request[0]);
    case VELK_EMU_IOCTL_WAKE:
      return "wake";
    case VELK_EMU_IOCTL_TRANSACT:
      break;
    default: {
      char text[24];
      std::snprintf(text, sizeof text, "code 0x%06X", static_cast<unsigned>(e.control_code));
      return text;
    }
  }
  std::uint8_t command = request[0];
  std::string where = std::to_string(request[1]) + "+" + std::to_string(request[2]);
  if (command == 0x00) {
    return Answered(e) ? "identify -> format 0x" + Hex2(reply[2]) + Hex2(reply[1]) : "identify";
  }
  if (command == 0x10) return "finish";
  if (command == 0x22) return "read " + where;
  if (command > 0x32 && command <= 0x3A) {
    std::string text = "write " + where + ":";
    std::size_t length = command - 0x32u;
    for (std::size_t i = 0; i < length; ++i) {
      text += ' ';
      text += Hex2(request[3 + i]);
    }
    return text;
  }
  return "command 0x" + Hex2(command);
}

std::string Outcome(const velk_emu_exchange& e) {
  switch (e.outcome) {
    case VELK_EMU_REFUSED:
      return "refused*";
    case VELK_EMU_INVALID:
      return "failed";
    case VELK_EMU_INJECTED:
      return std::to_string(e.reply[0]) + " injected*";
    default:
      return std::to_string(e.reply[0]);
  }
}

void AppendBlock(std::string& out, const std::uint8_t* page, const std::uint8_t* before) {
  for (std::uint32_t row = kBlockStart; row < kBlockEnd; row += 16) {
    char label[8];
    std::snprintf(label, sizeof label, "  %3u:", static_cast<unsigned>(row));
    out += label;
    for (std::uint32_t a = row; a < row + 16; ++a) {
      out += ' ';
      out += Hex2(page[a]);
      out += page[a] != before[a] ? '*' : ' ';
    }
    out.back() = '\n';
  }
}

std::string Row(const std::string& number, const char* code, const std::string& mode,
                const std::string& frame, const std::string& status) {
  char line[160];
  std::snprintf(line, sizeof line, "%3s  %-11s %4s  %-40s %s", number.c_str(), code, mode.c_str(),
                frame.c_str(), status.c_str());
  return line;
}

}  // namespace

std::string DescribeCall(std::uint32_t number, const velk_emu_exchange& exchange) {
  return Row(std::to_string(number), CodeName(exchange.control_code),
             std::to_string(exchange.request[kMode]), Frame(exchange), Outcome(exchange));
}

std::string Report(const velk_emu& device, const std::uint8_t (&pageBefore)[VELK_EMU_PAGE_SIZE]) {
  std::string out = Row("#", "call", "mode", "frame", "status") + "\n";
  for (std::uint32_t n = 1; n <= device.calls; ++n) {
    const velk_emu_exchange* exchange = velk_emu_traced(&device, n);
    if (exchange == nullptr) {
      out += "     ... " + std::to_string(device.calls - n + 1) + " more calls not traced\n";
      break;
    }
    out += DescribeCall(n, *exchange) + "\n";
  }
  out += std::to_string(device.calls) + " device-control calls; * marks an injected fault\n";
  out += "block 32..63 before:\n";
  AppendBlock(out, pageBefore, pageBefore);
  out += "block 32..63 after (* changed):\n";
  AppendBlock(out, device.page, pageBefore);
  return out;
}

}  // namespace qx17_emu
