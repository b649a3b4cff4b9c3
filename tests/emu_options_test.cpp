#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "emulator/cli/options.h"
#include "emulator/cli/report.h"

namespace {

using qx17_emu::ParseOptions;

qx17_emu::ParseResult Parse(std::vector<std::string_view> args) {
  return ParseOptions(args);
}

TEST(EmuOptions, TakesEveryOptionInBothSpellings) {
  auto parsed = Parse({"--no-driver", "--driver-version", "6.10", "--data-format=0x0906",
                       "--status", "20=2", "--status=34=255", "--refuse", "7", "--memory-in",
                       "in.bin", "--memory-out=out.bin", "--quiet"});
  ASSERT_EQ(parsed.error, "");
  const auto& o = parsed.options;
  EXPECT_TRUE(o.noDriver);
  EXPECT_TRUE(o.quiet);
  EXPECT_FALSE(o.help);
  EXPECT_EQ(o.versionMajor, 6);
  EXPECT_EQ(o.versionMinor, 10);
  EXPECT_EQ(o.dataFormat, 0x0906);
  ASSERT_EQ(o.faults.size(), 3U);
  EXPECT_EQ(o.faults[0].call, 20U);
  EXPECT_EQ(o.faults[0].status, 2);
  EXPECT_EQ(o.faults[1].status, 255);
  EXPECT_EQ(o.faults[2].kind, VELK_EMU_FAULT_REFUSE);
  EXPECT_EQ(o.memoryIn, "in.bin");
  EXPECT_EQ(o.memoryOut, "out.bin");
}

struct BadCase {
  const char* name;
  std::vector<std::string_view> args;
  const char* mentions;  // the error names the problem
};

class EmuBadOptionsTest : public testing::TestWithParam<BadCase> {};

TEST_P(EmuBadOptionsTest, GivesOneLineNamingTheProblem) {
  auto parsed = Parse(GetParam().args);
  EXPECT_THAT(parsed.error, testing::HasSubstr(GetParam().mentions));
  EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Bad, EmuBadOptionsTest,
    testing::Values(
        BadCase{"Unknown", {"--verbose"}, "unknown option '--verbose'"},
        BadCase{"Positional", {"file"}, "unexpected argument 'file'"},
        BadCase{"MissingValue", {"--refuse"}, "--refuse wants a value"},
        BadCase{"FlagWithValue", {"--quiet=yes"}, "--quiet takes no value"},
        BadCase{"FlagTwice", {"--no-driver", "--no-driver"}, "--no-driver given more than once"},
        BadCase{
            "VersionTwice", {"--driver-version", "5.2", "--driver-version=5.3"}, "more than once"},
        BadCase{"VersionWithoutDot", {"--driver-version", "52"}, "MAJOR.MINOR"},
        BadCase{"VersionTooLarge", {"--driver-version", "5.256"}, "MAJOR.MINOR"},
        BadCase{"VersionSigned", {"--driver-version", "+5.2"}, "MAJOR.MINOR"},
        BadCase{"FormatWithoutPrefix", {"--data-format", "0609"}, "0x"},
        BadCase{"FormatTooLong", {"--data-format", "0x10609"}, "0x"},
        BadCase{"FormatNotHex", {"--data-format", "0x06g9"}, "0x"},
        BadCase{"StatusCallZero", {"--status", "0=1"}, "not '0=1'"},
        BadCase{"StatusTooLarge", {"--status", "5=256"}, "not '5=256'"},
        BadCase{"StatusWithoutEquals", {"--status", "5"}, "N=S"},
        BadCase{"StatusCallTooLarge", {"--status", "4294967296=1"}, "N=S"},
        BadCase{
            "StatusSameCallTwice", {"--status", "5=1", "--status", "5=2"}, "call 5 given twice"},
        BadCase{"RefuseNegative", {"--refuse", "-3"}, "not '-3'"},
        BadCase{"RefuseTrailing", {"--refuse", "3x"}, "not '3x'"},
        BadCase{"MemoryInEmpty", {"--memory-in="}, "--memory-in wants a file name"}),
    [](const testing::TestParamInfo<BadCase>& info) { return info.param.name; });

TEST(EmuOptions, FaultTableLimitIsAnError) {
  std::vector<std::string> words;
  for (int i = 1; i <= VELK_EMU_MAX_FAULTS + 1; ++i) {
    words.push_back("--refuse");
    words.push_back(std::to_string(i));
  }
  std::vector<std::string_view> args(words.begin(), words.end());
  EXPECT_THAT(ParseOptions(args).error, testing::HasSubstr("at most"));
}

class EmuConfigureTest : public testing::Test {
 protected:
  std::string path_ = testing::TempDir() + "qx17_emu_page.bin";
  void TearDown() override { std::remove(path_.c_str()); }
  void Write(std::size_t size) {
    std::ofstream file(path_, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) file.put(static_cast<char>(i * 3));
  }
  velk_emu device_{};
};

TEST_F(EmuConfigureTest, LoadsPageVersionFormatAndFaults) {
  Write(256);
  auto parsed = Parse({"--memory-in", path_, "--driver-version", "4.9", "--data-format", "0x1",
                       "--status", "3=7", "--refuse", "4", "--no-driver"});
  ASSERT_EQ(parsed.error, "");
  ASSERT_EQ(qx17_emu::Configure(parsed.options, device_), "");
  EXPECT_EQ(device_.page[255], static_cast<std::uint8_t>(255 * 3));
  EXPECT_EQ(device_.version_major, 4);
  EXPECT_EQ(device_.version_minor, 9);
  EXPECT_EQ(device_.data_format, 1);
  EXPECT_EQ(device_.present, 0);
  EXPECT_EQ(device_.fault_count, 2U);
}

TEST_F(EmuConfigureTest, MemoryInMustBeExactly256Bytes) {
  for (std::size_t size : {0, 255, 257}) {
    Write(size);
    auto parsed = Parse({"--memory-in", path_});
    EXPECT_THAT(qx17_emu::Configure(parsed.options, device_), testing::HasSubstr("not 256 bytes"))
        << size;
  }
  auto missing = Parse({"--memory-in", "/nonexistent/page.bin"});
  EXPECT_THAT(qx17_emu::Configure(missing.options, device_), testing::HasSubstr("cannot read"));
}

velk_emu_exchange Exchange(std::uint32_t code, std::uint8_t mode,
                           std::initializer_list<std::uint8_t> frame, std::uint8_t outcome,
                           std::uint8_t status) {
  velk_emu_exchange e{};
  e.control_code = code;
  e.outcome = outcome;
  e.request[27] = mode;
  std::copy(frame.begin(), frame.end(), e.request + 28);
  std::copy(std::begin(e.request), std::end(e.request), e.reply);
  e.reply[0] = status;
  return e;
}

struct RowCase {
  velk_emu_exchange exchange;
  const char* row;
};

class ReportRowTest : public testing::TestWithParam<RowCase> {};

TEST_P(ReportRowTest, DecodesFrameAndOutcomeWithinEightyColumns) {
  std::string row = qx17_emu::DescribeCall(12, GetParam().exchange);
  EXPECT_EQ(row, GetParam().row);
  EXPECT_LE(row.size(), 80U);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportRowTest,
    testing::Values(
        RowCase{Exchange(VELK_EMU_IOCTL_SEND_BYTE, 0, {0xFF}, VELK_EMU_ANSWERED, 0),
                " 12  SEND_BYTE      0  send 0xFF                                0"},
        RowCase{Exchange(VELK_EMU_IOCTL_WAKE, 0, {0}, VELK_EMU_INJECTED, 37),
                " 12  WAKE           0  wake                                     37 injected*"},
        RowCase{Exchange(VELK_EMU_IOCTL_TRANSACT, 1, {0x22, 40, 8}, VELK_EMU_REFUSED, 0),
                " 12  TRANSACT       1  read 40+8                                refused*"},
        RowCase{Exchange(VELK_EMU_IOCTL_TRANSACT, 1, {0x3A, 32, 8, 0x55, 0, 1, 2, 3, 4, 5, 0xAB},
                         VELK_EMU_ANSWERED, 2),
                " 12  TRANSACT       1  write 32+8: 55 00 01 02 03 04 05 AB      2"},
        RowCase{Exchange(VELK_EMU_IOCTL_TRANSACT, 0, {0x10}, VELK_EMU_ANSWERED, 0),
                " 12  TRANSACT       0  finish                                   0"},
        RowCase{Exchange(VELK_EMU_IOCTL_TRANSACT, 1, {0x00, 0x09, 0x06}, VELK_EMU_ANSWERED, 0),
                " 12  TRANSACT       1  identify -> format 0x0609                0"},
        RowCase{Exchange(VELK_EMU_IOCTL_TRANSACT, 1, {0x00, 0x09, 0x06}, VELK_EMU_ANSWERED, 1),
                " 12  TRANSACT       1  identify                                 1"},
        RowCase{Exchange(VELK_EMU_IOCTL_GET_VERSION, 0, {2, 5}, VELK_EMU_ANSWERED, 0),
                " 12  GET_VERSION    0  version -> 5.2                           0"},
        RowCase{Exchange(0x222004, 0, {}, VELK_EMU_INVALID, 0),
                " 12  unknown        0  code 0x222004                            failed"}));

TEST(EmuReport, MarksChangedBlockBytesAndFitsEightyColumns) {
  velk_emu device{};
  velk_emu_reset(&device);
  std::uint8_t before[VELK_EMU_PAGE_SIZE];
  std::copy(std::begin(device.page), std::end(device.page), before);
  device.page[33] = 0x00;
  std::string report = qx17_emu::Report(device, before);
  EXPECT_THAT(report, testing::HasSubstr("0 device-control calls"));
  EXPECT_THAT(report, testing::HasSubstr("   32: DF  00* DD "));
  std::size_t start = 0;
  while (start < report.size()) {
    std::size_t end = report.find('\n', start);
    EXPECT_LE(end - start, 80U) << report.substr(start, end - start);
    start = end + 1;
  }
}

}  // namespace
