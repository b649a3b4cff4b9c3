#include "emulator/cli/options.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace qx17_emu {

const char kUsage[] =
    "usage: qx17_emu [options]\n"
    "Runs the qx17_701 job against an emulated port driver and instrument, then reports\n"
    "every device-control call and the block 32..63 before and after on standard error.\n"
    "\n"
    "  --no-driver                 the port driver is absent (the open fails)\n"
    "  --driver-version MAJOR.MINOR  version the driver reports (default 5.2)\n"
    "  --data-format 0xNNNN        data format the instrument reports (default 0x0609)\n"
    "  --status N=S                device-control call N (from 1, the version query\n"
    "                              included) replies with status S (0..255) and has no\n"
    "                              other effect; repeatable, once per call\n"
    "  --refuse N                  device-control call N fails outright and has no effect;\n"
    "                              repeatable; wins over --status for the same call\n"
    "  --memory-in FILE            page 0 of the instrument before the run (256 bytes)\n"
    "  --memory-out FILE           write page 0 after the run (256 bytes)\n"
    "  --quiet                     no report\n"
    "  --help                      this text\n";

namespace {

template <typename T>
bool ParseDecimal(std::string_view text, T low, T high, T& value) {
  if (text.empty() || text.front() < '0' || text.front() > '9') return false;
  unsigned long long parsed = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc{} || end != text.data() + text.size()) return false;
  if (parsed < low || parsed > high) return false;
  value = static_cast<T>(parsed);
  return true;
}

bool ParseHexWord(std::string_view text, std::uint16_t& value) {
  if (text.size() < 3 || text.size() > 6 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
    return false;
  }
  text.remove_prefix(2);
  unsigned parsed = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed, 16);
  if (error != std::errc{} || end != text.data() + text.size()) return false;
  value = static_cast<std::uint16_t>(parsed);
  return true;
}

constexpr std::uint32_t kMaxCall = std::numeric_limits<std::uint32_t>::max();

struct Parser {
  ParseResult result;
  std::vector<std::string> seen;

  bool Fail(std::string text) {
    if (result.error.empty()) result.error = std::move(text);
    return false;
  }

  bool Once(std::string_view name) {
    for (const std::string& s : seen) {
      if (s == name) return Fail(std::string(name) + " given more than once");
    }
    seen.emplace_back(name);
    return true;
  }

  bool AddFault(std::string_view name, std::uint32_t call, std::uint8_t kind, std::uint8_t status) {
    Options& o = result.options;
    for (const velk_emu_fault& fault : o.faults) {
      if (fault.call == call && fault.kind == kind) {
        return Fail(std::string(name) + ": call " + std::to_string(call) + " given twice");
      }
    }
    if (o.faults.size() >= VELK_EMU_MAX_FAULTS) {
      return Fail("at most " + std::to_string(VELK_EMU_MAX_FAULTS) +
                  " --status and --refuse options in all");
    }
    o.faults.push_back(velk_emu_fault{call, kind, status});
    return true;
  }

  bool Take(std::string_view name, std::string_view value) {
    Options& o = result.options;
    if (name == "--driver-version") {
      std::size_t dot = value.find('.');
      if (!Once(name)) return false;
      if (dot == std::string_view::npos ||
          !ParseDecimal<std::uint8_t>(value.substr(0, dot), 0, 255, o.versionMajor) ||
          !ParseDecimal<std::uint8_t>(value.substr(dot + 1), 0, 255, o.versionMinor)) {
        return Fail("--driver-version wants MAJOR.MINOR, each 0..255, not '" + std::string(value) +
                    "'");
      }
      o.haveVersion = true;
      return true;
    }
    if (name == "--data-format") {
      if (!Once(name)) return false;
      if (!ParseHexWord(value, o.dataFormat)) {
        return Fail("--data-format wants 0x and 1 to 4 hex digits, not '" + std::string(value) +
                    "'");
      }
      o.haveDataFormat = true;
      return true;
    }
    if (name == "--status") {
      std::size_t eq = value.find('=');
      std::uint32_t call = 0;
      std::uint8_t status = 0;
      if (eq == std::string_view::npos ||
          !ParseDecimal<std::uint32_t>(value.substr(0, eq), 1, kMaxCall, call) ||
          !ParseDecimal<std::uint8_t>(value.substr(eq + 1), 0, 255, status)) {
        return Fail("--status wants N=S with call N from 1 and status S 0..255, not '" +
                    std::string(value) + "'");
      }
      return AddFault(name, call, VELK_EMU_FAULT_STATUS, status);
    }
    if (name == "--refuse") {
      std::uint32_t call = 0;
      if (!ParseDecimal<std::uint32_t>(value, 1, kMaxCall, call)) {
        return Fail("--refuse wants a call number from 1, not '" + std::string(value) + "'");
      }
      return AddFault(name, call, VELK_EMU_FAULT_REFUSE, 0);
    }
    if (name == "--memory-in" || name == "--memory-out") {
      if (!Once(name)) return false;
      if (value.empty()) return Fail(std::string(name) + " wants a file name");
      (name == "--memory-in" ? o.memoryIn : o.memoryOut) = std::string(value);
      return true;
    }
    return Fail("unknown option '" + std::string(name) + "'");
  }

  bool* FlagFor(std::string_view name) {
    Options& o = result.options;
    if (name == "--help") return &o.help;
    if (name == "--quiet") return &o.quiet;
    if (name == "--no-driver") return &o.noDriver;
    return nullptr;
  }
};

bool TakesValue(std::string_view name) {
  return name == "--driver-version" || name == "--data-format" || name == "--status" ||
         name == "--refuse" || name == "--memory-in" || name == "--memory-out";
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string_view>& args) {
  Parser parser;
  for (std::size_t i = 0; i < args.size() && parser.result.error.empty(); ++i) {
    std::string_view arg = args[i];
    std::string_view name = arg;
    std::string_view value;
    bool inlineValue = false;
    if (std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inlineValue = true;
    }
    if (TakesValue(name)) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          parser.Fail(std::string(name) + " wants a value");
          break;
        }
        value = args[++i];
      }
      parser.Take(name, value);
    } else if (bool* flag = parser.FlagFor(name); flag != nullptr) {
      if (inlineValue) {
        parser.Fail(std::string(name) + " takes no value");
      } else if (parser.Once(name)) {
        *flag = true;
      }
    } else {
      parser.Fail(arg.starts_with("-") ? "unknown option '" + std::string(name) + "'"
                                       : "unexpected argument '" + std::string(arg) + "'");
    }
  }
  return parser.result;
}

std::string Configure(const Options& options, velk_emu& device) {
  velk_emu_reset(&device);
  if (!options.memoryIn.empty()) {
    std::FILE* file = std::fopen(options.memoryIn.c_str(), "rb");
    if (file == nullptr) return "--memory-in: cannot read '" + options.memoryIn + "'";
    std::uint8_t page[VELK_EMU_PAGE_SIZE + 1];
    std::size_t size = std::fread(page, 1, sizeof page, file);
    bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) return "--memory-in: cannot read '" + options.memoryIn + "'";
    if (size != VELK_EMU_PAGE_SIZE) {
      return "--memory-in: '" + options.memoryIn + "' is not 256 bytes long";
    }
    for (std::size_t a = 0; a < VELK_EMU_PAGE_SIZE; ++a) device.page[a] = page[a];
  }
  device.present = options.noDriver ? 0 : 1;
  if (options.haveVersion) {
    device.version_major = options.versionMajor;
    device.version_minor = options.versionMinor;
  }
  if (options.haveDataFormat) device.data_format = options.dataFormat;
  for (const velk_emu_fault& fault : options.faults) {
    if (fault.kind == VELK_EMU_FAULT_REFUSE) {
      velk_emu_refuse_call(&device, fault.call);
    } else {
      velk_emu_inject_status(&device, fault.call, fault.status);
    }
  }
  return {};
}

}  // namespace qx17_emu
