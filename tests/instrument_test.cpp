#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/status_codes.h"
#include "instrument/QX17obj.h"
#include "link/qx17_link.h"
#include "tests/support/fresh_process.h"
#include "tests/support/recording_seam.h"

namespace {

using qx17_status::Status;
using QX17obj::InstrumentObject;
using QX17obj::ReadImage;
using QX17obj::WriteImage;
using recording_seam::CallKind;
using recording_seam::Fake;

constexpr std::size_t kPayload = 28;

// Transactions sent with this command byte (a write's byte carries its length: 0x33..0x3A).
int Transactions(std::uint8_t command) {
  int count = 0;
  for (const auto& call : Fake().CallsOf(CallKind::kDeviceIoControl)) {
    if (call.controlCode != drv_502::IOCTL_TRANSACT) continue;
    std::uint8_t sent = call.request[kPayload];
    bool isWrite = sent > 0x32 && sent <= 0x3A;
    if (sent == command || (command == qx17_link::CMD_WRITE && isWrite)) ++count;
  }
  return count;
}

velk_emu& Instrument() {
  return Fake().emulator;
}

TEST(InstrumentObject, WithoutDriverInitSays4AndReadEndsWithFormatError) {
  InFreshProcess([] {
    Fake().createResult = 0;
    InstrumentObject.Init();
    EXPECT_EQ(Status, QX17obj::kStatusDriverNotFound);
    InstrumentObject.Read();
    EXPECT_EQ(Status, QX17obj::kStatusFormatNotSupported);
    EXPECT_EQ(InstrumentObject.Valid, 0);
    EXPECT_TRUE(Fake().CallsOf(CallKind::kDeviceIoControl).empty());
    EXPECT_EQ(Fake().CallsOf(CallKind::kCreateFile).size(), 1U);
  });
}

struct VersionCase {
  std::uint8_t major;
  std::uint8_t minor;
  std::int32_t status;
};

class DriverVersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(DriverVersionTest, AcceptsMajor5Minor2OrMoreAndReadsRegardless) {
  InFreshProcess([] {
    Instrument().version_major = GetParam().major;
    Instrument().version_minor = GetParam().minor;
    InstrumentObject.Init();
    EXPECT_EQ(Status, GetParam().status);
    EXPECT_EQ(InstrumentObject.Port, 0);
    InstrumentObject.Read();
    EXPECT_EQ(Status, 0);
    EXPECT_EQ(InstrumentObject.Valid, 1);
  });
}

INSTANTIATE_TEST_SUITE_P(Versions, DriverVersionTest,
                         testing::Values(VersionCase{5, 2, 0}, VersionCase{5, 9, 0},
                                         VersionCase{5, 1, 7}, VersionCase{6, 0, 7},
                                         VersionCase{4, 2, 7}, VersionCase{0, 0, 7}));

TEST(InstrumentObject, VersionQueryStatusIsPassedOnBeforeTheVersionIsJudged) {
  InFreshProcess([] {
    Instrument().version_major = 6;
    velk_emu_inject_status(&Instrument(), 1, 2);
    InstrumentObject.Init();
    EXPECT_EQ(Status, 2);
  });
}

TEST(InstrumentObject, FormatInOtherByteOrderIsRejectedWithoutReadOrFinish) {
  InFreshProcess([] {
    Instrument().data_format = 0x0906;
    InstrumentObject.Init();
    InstrumentObject.Read();
    EXPECT_EQ(Status, QX17obj::kStatusFormatNotSupported);
    EXPECT_EQ(Transactions(qx17_link::CMD_READ), 0);
    EXPECT_EQ(Transactions(qx17_link::CMD_FINISH), 0);
    EXPECT_EQ(InstrumentObject.Valid, 0);
  });
}

TEST(InstrumentObject, ReadTakesTheBlockIntoBothImagesAndFinishes) {
  InFreshProcess([] {
    InstrumentObject.Init();
    InstrumentObject.Read();
    EXPECT_EQ(Status, 0);
    EXPECT_EQ(InstrumentObject.Valid, 1);
    EXPECT_EQ(InstrumentObject.DataFormat, 0x0609);
    EXPECT_EQ(InstrumentObject.IdentWord5, 701);
    for (int a = 0; a < 256; ++a) {
      std::uint8_t expected = a >= 32 && a < 64 ? velk_emu_default_page_byte(a) : 0;
      EXPECT_EQ(ReadImage[a], expected) << a;
      EXPECT_EQ(WriteImage[a], expected) << a;
    }
    EXPECT_EQ(Transactions(qx17_link::CMD_READ), 4);
    EXPECT_EQ(Transactions(qx17_link::CMD_FINISH), 1);
    EXPECT_EQ(Instrument().awake, 0);
  });
}

TEST(InstrumentObject, FailedThirdChunkLeavesWriteImageAndValidAsTheyWere) {
  InFreshProcess([] {
    InstrumentObject.Init();
    // version, wake x3, identify, then the read chunks
    velk_emu_inject_status(&Instrument(), 8, 2);
    InstrumentObject.Read();
    EXPECT_EQ(Status, 2);
    EXPECT_EQ(InstrumentObject.Valid, 0);
    EXPECT_THAT(WriteImage, testing::Each(0));
    EXPECT_EQ(Transactions(qx17_link::CMD_FINISH), 0);
  });
}

TEST(InstrumentObject, WriteSendsTheReadBlockWithMarkerNotTheBlockItReadsAgain) {
  InFreshProcess([] {
    InstrumentObject.Init();
    InstrumentObject.Read();
    ASSERT_EQ(Status, 0);
    WriteImage[33] = 0x00;
    // The instrument's block changes between the phases; the write must not pick that up.
    for (int a = 32; a < 64; ++a) Instrument().page[a] = 0x77;
    InstrumentObject.Write();
    EXPECT_EQ(Status, 0);
    EXPECT_EQ(Instrument().page[32], 0x55);
    EXPECT_EQ(Instrument().page[33], 0x00);
    for (int a = 34; a < 64; ++a) EXPECT_EQ(Instrument().page[a], velk_emu_default_page_byte(a));
    EXPECT_EQ(ReadImage[40], 0x77) << "the write phase's own read still lands in ReadImage";
    EXPECT_EQ(Transactions(qx17_link::CMD_WRITE), 4);
    EXPECT_EQ(Transactions(qx17_link::CMD_FINISH), 2);
  });
}

struct WriteFailureCase {
  const char* name;
  std::uint32_t call;  // counted from the write phase's first call
  std::uint8_t status;
  int writesSent;
};

class WriteFailureTest : public testing::TestWithParam<WriteFailureCase> {};

TEST_P(WriteFailureTest, AlwaysFinishesAndReportsTheFailure) {
  InFreshProcess([] {
    InstrumentObject.Init();
    InstrumentObject.Read();
    ASSERT_EQ(Status, 0);
    Fake().calls.clear();
    velk_emu_inject_status(&Instrument(), Instrument().calls + GetParam().call, GetParam().status);
    InstrumentObject.Write();
    EXPECT_EQ(Status, GetParam().status);
    EXPECT_EQ(Transactions(qx17_link::CMD_WRITE), GetParam().writesSent);
    EXPECT_EQ(Transactions(qx17_link::CMD_FINISH), 1);
    auto controls = Fake().CallsOf(CallKind::kDeviceIoControl);
    EXPECT_EQ(controls.back().controlCode, drv_502::IOCTL_SEND_BYTE);
  });
}

INSTANTIATE_TEST_SUITE_P(Failures, WriteFailureTest,
                         testing::Values(WriteFailureCase{"Identify", 4, 1, 0},
                                         WriteFailureCase{"BlockRead", 6, 2, 0},
                                         WriteFailureCase{"FirstChunk", 9, 3, 1},
                                         WriteFailureCase{"LastChunk", 12, 2, 4}),
                         [](const testing::TestParamInfo<WriteFailureCase>& info) {
                           return info.param.name;
                         });

}  // namespace
