// The emulator console as technicians and scripts run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "emulator/core/velk_emu.h"
#include "tests/support/child_program.h"
#include "tests/support/expected_bytes.h"

namespace {

ProgramRun Emu(const std::vector<std::string>& args) {
  return RunProgram(QX17_EMU_PATH, args, "\n");
}

int ExitCode(const ProgramRun& run) {
  EXPECT_TRUE(WIFEXITED(run.waitStatus));
  return WEXITSTATUS(run.waitStatus);
}

std::string DefaultPage() {
  std::string page;
  for (std::uint32_t a = 0; a < VELK_EMU_PAGE_SIZE; ++a) {
    page += static_cast<char>(velk_emu_default_page_byte(a));
  }
  return page;
}

std::string CleanRunPage() {
  std::string page = DefaultPage();
  page[32] = 0x55;
  page[33] = 0x00;
  return page;
}

TEST(EmuProgram, QuietPrintsExactlyWhatTheUtilityPrints) {
  ProgramRun emu = Emu({"--quiet"});
  ProgramRun utility = RunProgram(QX17_701_PATH, {}, "\n");
  EXPECT_EQ(ExitCode(emu), 0);
  EXPECT_EQ(emu.out, kCleanRunConsole);
  EXPECT_EQ(emu.out, utility.out);
  EXPECT_EQ(emu.err, "");
}

TEST(EmuProgram, ReportListsEveryCallAndTheBlock) {
  ProgramRun run = Emu({"--status", "20=2"});
  EXPECT_EQ(ExitCode(run), 0);
  EXPECT_EQ(run.out, kCleanRunConsole);
  EXPECT_THAT(run.err,
              testing::HasSubstr(" 20  TRANSACT       1  write 32+8: 55 00 DD DC DB DA D9 D8"
                                 "      2 injected*\n"));
  EXPECT_THAT(run.err, testing::HasSubstr("36 device-control calls"));
  EXPECT_THAT(run.err, testing::HasSubstr("   32: 55* 00* DD "));
}

TEST(EmuProgram, FirstWriteChunkFailingOnceEndsLikeACleanRun) {
  TempDir dir;
  ProgramRun run = Emu({"--status", "20=2", "--memory-out", dir.File("page"), "--quiet"});
  EXPECT_EQ(ExitCode(run), 0);
  EXPECT_EQ(run.out, kCleanRunConsole);
  EXPECT_EQ(ReadFile(dir.File("page")), CleanRunPage());
}

TEST(EmuProgram, BothWritesFailingShowsThePortError) {
  ProgramRun run = Emu({"--status", "20=2", "--status", "34=3", "--quiet"});
  EXPECT_EQ(ExitCode(run), 0);
  EXPECT_EQ(run.out,
            "\r\nReading QX17...OK!\r\nWriting QX17... LPT Port error!\r\nPress any key...\r\n");
}

TEST(EmuProgram, OptionsReachTheEmulatedDriver) {
  struct Case {
    std::vector<std::string> args;
    std::string line2;
  };
  for (const Case& c :
       {Case{{"--no-driver"}, "Reading QX17... Data format not supported!"},
        Case{{"--data-format", "0x0906"}, "Reading QX17... Data format not supported!"},
        Case{{"--refuse", "5"}, "Reading QX17... LPT Port error!"},
        Case{{"--driver-version", "4.0"}, "Reading QX17...OK!"}}) {
    std::vector<std::string> args = c.args;
    args.push_back("--quiet");
    ProgramRun run = Emu(args);
    EXPECT_EQ(ExitCode(run), 0);
    EXPECT_EQ(run.out.substr(0, 2 + c.line2.size()), "\r\n" + c.line2) << c.args[0];
  }
}

TEST(EmuProgram, MemoryInIsTheInstrumentsPageAndMemoryOutWhatItHoldsAfter) {
  TempDir dir;
  std::string page(256, '\0');
  for (int a = 0; a < 256; ++a) page[a] = static_cast<char>(a * 7);
  WriteFile(dir.File("in"), page);
  ProgramRun run = Emu({"--memory-in", dir.File("in"), "--memory-out", dir.File("out"), "--quiet"});
  EXPECT_EQ(ExitCode(run), 0);
  page[32] = 0x55;
  page[33] = 0x00;
  EXPECT_EQ(ReadFile(dir.File("out")), page);
}

TEST(EmuProgram, HelpGoesToStandardOutput) {
  ProgramRun run = RunProgram(QX17_EMU_PATH, {"--help"}, "");
  EXPECT_EQ(ExitCode(run), 0);
  EXPECT_THAT(run.out, testing::HasSubstr("usage: qx17_emu"));
  EXPECT_THAT(run.out, testing::HasSubstr("--memory-out FILE"));
  EXPECT_EQ(run.err, "");
}

struct BadInputCase {
  const char* name;
  std::vector<std::string> args;  // "{dir}" stands for a scratch folder
  std::string pageIn;             // written to {dir}/in when not empty
};

class EmuBadInputTest : public testing::TestWithParam<BadInputCase> {};

TEST_P(EmuBadInputTest, OneLineOnStandardErrorExit2NothingRunNoFileWritten) {
  TempDir dir;
  if (!GetParam().pageIn.empty()) WriteFile(dir.File("in"), GetParam().pageIn);
  std::vector<std::string> args;
  for (std::string arg : GetParam().args) {
    if (auto at = arg.find("{dir}"); at != std::string::npos) arg.replace(at, 5, dir.File(""));
    args.push_back(arg);
  }
  if (std::find(args.begin(), args.end(), "--memory-out") == args.end()) {
    args.push_back("--memory-out");
    args.push_back(dir.File("out"));
  }
  ProgramRun run = Emu(args);
  EXPECT_EQ(ExitCode(run), 2);
  EXPECT_EQ(run.out, "") << "the job ran";
  EXPECT_THAT(run.err, testing::StartsWith("qx17_emu: "));
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("out")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, EmuBadInputTest,
    testing::Values(
        BadInputCase{"UnknownOption", {"--fast"}, ""},
        BadInputCase{"MalformedStatus", {"--status", "x=1"}, ""},
        BadInputCase{"StatusOutOfRange", {"--status", "3=300"}, ""},
        BadInputCase{"VersionOutOfRange", {"--driver-version", "5.999"}, ""},
        BadInputCase{"MemoryInMissing", {"--memory-in", "{dir}missing"}, ""},
        BadInputCase{"MemoryInIsAFolder", {"--memory-in", "{dir}"}, ""},
        BadInputCase{"MemoryInTooShort", {"--memory-in", "{dir}in"}, std::string(255, 'a')},
        BadInputCase{"MemoryInTooLong", {"--memory-in", "{dir}in"}, std::string(257, 'a')},
        BadInputCase{"MemoryOutInMissingFolder", {"--memory-out", "{dir}no/such"}, ""}),
    [](const testing::TestParamInfo<BadInputCase>& info) { return info.param.name; });

}  // namespace
