// The whole console run against the emulated driver, in a fresh process per case, with exact
// console bytes and the instrument's page checked afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/QX17_701.h"
#include "emulator/emulated_driver.h"
#include "tests/support/cp1251.h"
#include "tests/support/expected_bytes.h"
#include "tests/support/fresh_process.h"

namespace {

struct RunResult {
  int exitCode;
  std::string output;
};

std::string Slurp(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[512];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

// Runs the console job with `input` on standard input and standard output captured in a file.
RunResult RunConsole(const std::string& input) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  EXPECT_TRUE(in != nullptr && out != nullptr);
  std::fwrite(input.data(), 1, input.size(), in);
  std::fflush(in);
  std::rewind(in);
  std::fflush(stdout);
  int savedIn = dup(STDIN_FILENO);
  int savedOut = dup(STDOUT_FILENO);
  dup2(fileno(in), STDIN_FILENO);
  dup2(fileno(out), STDOUT_FILENO);
#ifdef _WIN32
  // A Windows program's standard output starts in text mode; the run must switch it itself.
  _setmode(STDOUT_FILENO, _O_TEXT);
#endif
  int exitCode = QX17_701::Run();
  std::fflush(stdout);
  dup2(savedOut, STDOUT_FILENO);
  dup2(savedIn, STDIN_FILENO);
  return {exitCode, Slurp(out)};
}

std::string Console(const std::vector<std::string>& lines) {
  std::string text = "\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

const std::string kReadingOk = "Reading QX17...OK!";
const std::string kWritingOk = "Writing QX17...OK!";
const std::string kPress = "Press any key...";

// What a run may do to the page: the marker pair at 32 and 33 and nothing else.
void ExpectOnlyMarkersChanged(const velk_emu& device, bool written) {
  for (std::uint32_t a = 0; a < VELK_EMU_PAGE_SIZE; ++a) {
    std::uint8_t original = velk_emu_default_page_byte(a);
    if (a == 32 || a == 33) {
      std::uint8_t marker = a == 32 ? 0x55 : 0x00;
      if (written) {
        EXPECT_EQ(device.page[a], marker) << "address " << a;
      } else {
        EXPECT_THAT(device.page[a], testing::AnyOf(original, marker)) << "address " << a;
      }
    } else {
      EXPECT_EQ(device.page[a], original) << "address " << a;
    }
  }
}

struct Row {
  const char* name;
  std::function<void(velk_emu&)> configure;
  std::vector<std::string> lines;  // after the empty first line
  bool written;                    // the marker pair must be in the instrument afterwards
};

class ConsoleRunTest : public testing::TestWithParam<Row> {};

TEST_P(ConsoleRunTest, PrintsExactLinesExitsZeroAndTouchesOnlyTheMarkers) {
  InFreshProcess([] {
    velk_emu& device = emulated_driver::Device();
    GetParam().configure(device);
    RunResult result = RunConsole("\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, Console(GetParam().lines));
    ExpectOnlyMarkersChanged(device, GetParam().written);
    if (GetParam().written) {
      EXPECT_EQ(device.awake, 0) << "the conversation was not finished";
    }
  });
}

void Nothing(velk_emu&) {}
void NoDriver(velk_emu& d) {
  d.present = 0;
}

INSTANTIATE_TEST_SUITE_P(
    Situations, ConsoleRunTest,
    testing::Values(
        Row{"EverythingSucceeds", Nothing, {kReadingOk, kWritingOk, kPress}, true},
        Row{"NoPortDriver",
            NoDriver,
            {"Reading QX17... Data format not supported!", kPress},
            false},
        // Calls: 1 version, 2-4 wake-up, 5 identify, 6-9 block read, 10-11 finish.
        Row{"BlockReadFailsWithStatus1",
            [](velk_emu& d) { velk_emu_inject_status(&d, 6, 1); },
            {"Reading QX17... Signal not found!", kPress},
            false},
        // Write phase: 12-14 wake-up, 15 identify, 16-19 block read, 20-23 write, 24-25 finish;
        // after a failed first chunk the retry's writes are 31-34.
        Row{"FirstWriteFailsWithStatus2RetrySucceeds",
            [](velk_emu& d) { velk_emu_inject_status(&d, 20, 2); },
            {kReadingOk, kWritingOk, kPress},
            true},
        Row{"BothWritesFailSecondWithStatus3",
            [](velk_emu& d) {
              velk_emu_inject_status(&d, 20, 2);
              velk_emu_inject_status(&d, 34, 3);
            },
            {kReadingOk, "Writing QX17... LPT Port error!", kPress},
            false},
        Row{"RetryFailsEarlyWithStatus1",
            [](velk_emu& d) {
              velk_emu_inject_status(&d, 20, 2);
              velk_emu_inject_status(&d, 26, 1);
            },
            {kReadingOk, "Writing QX17... Signal not found!", kPress},
            false},
        Row{"DriverStatus5ShowsRussianText",
            [](velk_emu& d) { velk_emu_inject_status(&d, 5, 5); },
            {Cp1251("Reading QX17... Недопустимый размер файла!"), kPress},
            false},
        Row{"DriverStatusPastTheTable",
            [](velk_emu& d) { velk_emu_inject_status(&d, 6, 37); },
            {"Reading QX17... Unknown driver status 37!", kPress},
            false},
        Row{"DriverStatusWithEmptyText",
            [](velk_emu& d) { velk_emu_inject_status(&d, 7, 15); },
            {"Reading QX17... ", kPress},
            false},
        Row{"OldDriverVersionIsNotShownAndRunGoesOn",
            [](velk_emu& d) { d.version_minor = 1; },
            {kReadingOk, kWritingOk, kPress},
            true},
        Row{"DataFormatInOtherByteOrder",
            [](velk_emu& d) { d.data_format = 0x0906; },
            {"Reading QX17... Data format not supported!", kPress},
            false},
        // A refused call brings no reply back: its request bytes must never pass for data.
        Row{"RefusedBlockReadCallIsAPortError",
            [](velk_emu& d) { velk_emu_refuse_call(&d, 7); },
            {"Reading QX17... LPT Port error!", kPress},
            false},
        Row{"RefusedWriteCallsInBothWrites",
            [](velk_emu& d) {
              velk_emu_refuse_call(&d, 21);
              velk_emu_refuse_call(&d, 32);
            },
            {kReadingOk, "Writing QX17... LPT Port error!", kPress},
            false},
        Row{"RefusedBlockReadInWritePhaseRetried",
            [](velk_emu& d) { velk_emu_refuse_call(&d, 17); },
            {kReadingOk, kWritingOk, kPress},
            true}),
    [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

struct Step {
  std::uint32_t code;
  std::uint8_t mode;
  std::uint32_t paramC;
  std::vector<std::uint8_t> frame;  // leading payload bytes
};

std::vector<Step> Conversation(bool write) {
  constexpr std::uint32_t kSend = VELK_EMU_IOCTL_SEND_BYTE;
  constexpr std::uint32_t kTransact = VELK_EMU_IOCTL_TRANSACT;
  std::vector<Step> steps = {{kSend, 0, 40000, {0x00}},
                             {VELK_EMU_IOCTL_WAKE, 0, 40000, {0x00}},
                             {kSend, 0, 40000, {0xFF}},
                             {kTransact, 1, 400000, {0x00}}};
  for (std::uint8_t a = 32; a < 64; a += 8) steps.push_back({kTransact, 1, 400000, {0x22, a, 8}});
  for (std::uint8_t a = 32; write && a < 64; a += 8) {
    std::vector<std::uint8_t> frame = {0x3A, a, 8};
    for (std::uint8_t i = a; i < a + 8; ++i) {
      frame.push_back(i == 32 ? 0x55 : i == 33 ? 0x00 : velk_emu_default_page_byte(i));
    }
    steps.push_back({kTransact, 1, 400000, frame});
  }
  steps.push_back({kTransact, 0, 400000, {0x10}});
  steps.push_back({kSend, 0, 400000, {0xFF}});
  return steps;
}

TEST(ConsoleRun, SuccessfulRunMakesExactly25ExchangesInProtocolOrder) {
  InFreshProcess([] {
    velk_emu& device = emulated_driver::Device();
    ASSERT_EQ(RunConsole("\n").exitCode, 0);
    std::vector<Step> expected = {{VELK_EMU_IOCTL_GET_VERSION, 0, 400000, {}}};
    for (bool write : {false, true}) {
      std::vector<Step> conversation = Conversation(write);
      expected.insert(expected.end(), conversation.begin(), conversation.end());
    }
    ASSERT_EQ(device.calls, 25U);
    ASSERT_EQ(expected.size(), 25U);
    for (std::uint32_t n = 1; n <= 25; ++n) {
      const velk_emu_exchange* exchange = velk_emu_traced(&device, n);
      const Step& step = expected[n - 1];
      ASSERT_NE(exchange, nullptr);
      EXPECT_EQ(exchange->control_code, step.code) << "exchange " << n;
      EXPECT_EQ(exchange->request[27], step.mode) << "Mode of exchange " << n;
      EXPECT_EQ(ParamCOf(exchange->request), step.paramC) << "ParamC of exchange " << n;
      std::vector<std::uint8_t> frame(exchange->request + 28,
                                      exchange->request + 28 + step.frame.size());
      EXPECT_EQ(frame, step.frame) << "frame of exchange " << n;
      EXPECT_EQ(exchange->outcome, VELK_EMU_ANSWERED) << "exchange " << n;
      EXPECT_EQ(exchange->reply[0], 0) << "status of exchange " << n;
    }
  });
}

TEST(ConsoleRun, EndOfInputCountsAsEnter) {
  InFreshProcess([] {
    RunResult result = RunConsole("");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, Console({kReadingOk, kWritingOk, kPress}));
  });
}

}  // namespace
