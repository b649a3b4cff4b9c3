// The port driver as an adversary: whether the open works, every device-control result and every
// reply record come from the fuzz input. Whatever it answers, the run must end normally with
// console lines of the known shapes, and every write frame must carry exactly the block the read
// phase took, with 0x55 and 0x00 in front.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/QX17_701.h"
#include "app/status_codes.h"
#include "driver/drv_502.h"
#include "driver/port_seam.h"
#include "emulator/core/velk_emu.h"
#include "instrument/QX17obj.h"
#include "link/qx17_link.h"

namespace {

using Record = std::array<std::uint8_t, 60>;

struct Exchange {
  std::uint32_t code;
  Record request;
  Record reply;
  bool ok;
};

struct Adversary {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t at = 0;
  velk_emu honest{};  // answers whenever the input says so, and once it runs out
  std::vector<Exchange> log;

  // Input past its end reads as 0: an honest answer, so every run comes to an end.
  std::uint8_t Next() { return at < size ? data[at++] : 0; }
  void Fill(Record& record) {
    for (std::uint8_t& byte : record) byte = Next();
  }
};

Adversary Driver;
int ConsoleFd = -1;
qx17_link::ProgressProc StartHook = nullptr;

[[noreturn]] void Fail(const char* what, const std::string& console) {
  std::fprintf(stderr, "qx17 fuzz: %s\nconsole: ", what);
  for (unsigned char c : console) {
    if (c >= 0x20 && c < 0x7F) {
      std::fputc(c, stderr);
    } else {
      std::fprintf(stderr, "\\x%02X", c);
    }
  }
  std::fputc('\n', stderr);
  std::abort();
}

// Every module variable of the program back at its start value, as in a new process.
void RestoreProgramStartState() {
  drv_502::DriverHandle = 0;
  qx17_link::DriverRequest = {};
  qx17_link::PortIndex = 0;
  qx17_link::LastStatus = 0;
  qx17_link::DriverMinor = 0;
  qx17_link::DriverMajor = 0;
  qx17_link::DataFormat = 0;
  qx17_link::IdentByte3 = 0;
  qx17_link::IdentByte4 = 0;
  qx17_link::IdentWord5 = 0;
  qx17_link::ProgressHook = StartHook;
  QX17obj::InstrumentObject = {};
  std::memset(QX17obj::ReadImage, 0, sizeof QX17obj::ReadImage);
  std::memset(QX17obj::WriteImage, 0, sizeof QX17obj::WriteImage);
  qx17_status::Status = 0;
}

// The texts a phase may end with after its space: the message table's, or a code past it.
bool KnownMessage(std::string_view text) {
  static const char* const kTexts[] = {"",
                                       "Signal not found!",
                                       "Check sum error!",
                                       "LPT Port error!",
                                       "LPT Port Driver not found!",
                                       "\xCD\xE5\xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xFB\xE9 "
                                       "\xF0\xE0\xE7\xEC\xE5\xF0 \xF4\xE0\xE9\xEB\xE0!",
                                       "\xCD\xE5\xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xFB\xE9 "
                                       "\xF4\xEE\xF0\xEC\xE0\xF2 \xF4\xE0\xE9\xEB\xE0!",
                                       "LPT Port Driver Invalid Version!",
                                       "Data format not supported!",
                                       "Memory Data format not supported!",
                                       "Too many channels!"};
  for (const char* known : kTexts) {
    if (text == known) return true;
  }
  constexpr std::string_view kUnknown = "Unknown driver status ";
  if (!text.starts_with(kUnknown) || !text.ends_with("!")) return false;
  std::string_view digits = text.substr(kUnknown.size(), text.size() - kUnknown.size() - 1);
  int code = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    code = code * 10 + (c - '0');
  }
  return !digits.empty() && digits.size() <= 3 && code >= 21 && code <= 255 && digits[0] != '0';
}

// Consumes "<phase>" followed by "OK!" or a space and a known message, then CR LF. Returns
// whether the phase said OK.
bool ExpectPhase(std::string_view& console, std::string_view phase, const std::string& all) {
  if (!console.starts_with(phase)) Fail("phase line missing", all);
  console.remove_prefix(phase.size());
  std::size_t end = console.find("\r\n");
  if (end == std::string_view::npos) Fail("phase line not ended", all);
  std::string_view outcome = console.substr(0, end);
  console.remove_prefix(end + 2);
  if (outcome == "OK!") return true;
  if (!outcome.starts_with(" ") || !KnownMessage(outcome.substr(1))) Fail("unknown outcome", all);
  return false;
}

void CheckWriteFrames(bool readSaidOk, const std::string& console) {
  // The read phase ends at its finish transaction; its reads that brought data back are the block
  // it took. A byte no read brought back stays -1 and matches no write.
  std::array<int, 256> block;
  block.fill(-1);
  std::size_t i = 0;
  for (; readSaidOk && i < Driver.log.size(); ++i) {
    const Exchange& e = Driver.log[i];
    if (e.code != drv_502::IOCTL_TRANSACT) continue;
    const std::uint8_t* request = e.request.data() + 28;
    if (request[0] == qx17_link::CMD_FINISH) break;
    // Only a call that worked and whose status said so brought data back.
    if (request[0] != qx17_link::CMD_READ || !e.ok || e.reply[0] != 0) continue;
    for (int k = 0; k < request[2]; ++k) block[request[1] + k] = e.reply[28 + 1 + k];
  }
  block[32] = 0x55;
  block[33] = 0x00;
  for (const Exchange& e : Driver.log) {
    const std::uint8_t* request = e.request.data() + 28;
    if (e.code != drv_502::IOCTL_TRANSACT || request[0] <= 0x32 || request[0] > 0x3A) continue;
    if (!readSaidOk) Fail("write frame after a failed read", console);
    int address = request[1];
    int length = request[2];
    if (length != request[0] - 0x32 || address < 32 || address + length > 64) {
      Fail("write frame outside the block", console);
    }
    for (int k = 0; k < length; ++k) {
      if (block[address + k] != request[3 + k]) Fail("write frame carries other data", console);
    }
  }
}

}  // namespace

namespace port_seam {

Handle CreateFileA(const char*, std::uint32_t, std::uint32_t, void*, std::uint32_t, std::uint32_t,
                   Handle) {
  static constexpr Handle kRefusals[] = {kInvalidHandle, 0, 0x80000000U, 0xFFFFFFFFU};
  std::uint8_t choice = Driver.Next();
  return choice % 4 == 3 ? kRefusals[(choice >> 2) % 4] : 0x1F4;
}

bool DeviceIoControl(Handle, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                     std::uint32_t outSize, std::uint32_t* returned, void*) {
  if (inSize != 60 || outSize != 60 || in != out) Fail("odd buffers", "");
  Exchange e{code, {}, {}, true};
  std::memcpy(e.request.data(), in, 60);
  e.reply = e.request;
  std::uint8_t how = Driver.Next();
  switch (how & 3) {
    case 0:  // honest
      e.ok = velk_emu_control(&Driver.honest, code, e.request.data(), 60, e.reply.data(), 60,
                              returned) != 0;
      break;
    case 1:  // the request back with some status
      e.reply[0] = Driver.Next();
      break;
    case 2:  // any record at all
      Driver.Fill(e.reply);
      break;
    default:  // the call fails, sometimes after scribbling on the record
      e.ok = false;
      if (how & 4) Driver.Fill(e.reply);
      break;
  }
  if (how & 8) e.ok = false;
  std::memcpy(out, e.reply.data(), 60);
  if (returned != nullptr) *returned = e.ok ? 60 : 0;
  Driver.log.push_back(e);
  return e.ok;
}

bool CloseHandle(Handle) {
  return true;
}

}  // namespace port_seam

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartHook = qx17_link::ProgressHook;
  ConsoleFd = memfd_create("console", 0);
  int none = open("/dev/null", O_RDONLY);
  dup2(none, STDIN_FILENO);
  dup2(ConsoleFd, STDOUT_FILENO);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RestoreProgramStartState();
  Driver.data = data;
  Driver.size = size;
  Driver.at = 0;
  Driver.log.clear();
  velk_emu_reset(&Driver.honest);
  std::fflush(stdout);
  if (ftruncate(ConsoleFd, 0) != 0) std::abort();
  std::fseek(stdout, 0, SEEK_SET);

  int exitCode = QX17_701::Run();
  std::fflush(stdout);
  std::string console(4096, '\0');
  console.resize(static_cast<std::size_t>(pread(ConsoleFd, console.data(), console.size(), 0)));

  if (exitCode != 0) Fail("the run did not end normally", console);
  std::string_view rest = console;
  if (!rest.starts_with("\r\n")) Fail("no empty first line", console);
  rest.remove_prefix(2);
  bool readSaidOk = ExpectPhase(rest, "Reading QX17...", console);
  if (readSaidOk) ExpectPhase(rest, "Writing QX17...", console);
  if (rest != "Press any key...\r\n") Fail("wrong last line", console);
  CheckWriteFrames(readSaidOk, console);
  return 0;
}
