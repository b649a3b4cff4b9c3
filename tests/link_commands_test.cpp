#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/qx17_link.h"
#include "tests/support/expected_bytes.h"
#include "tests/support/fresh_process.h"
#include "tests/support/recording_seam.h"

namespace {

using recording_seam::CallKind;
using recording_seam::Fake;
using recording_seam::Record;

constexpr std::size_t kPayload = 28;

std::vector<recording_seam::SeamCall> Controls() {
  return Fake().CallsOf(CallKind::kDeviceIoControl);
}

TEST(QueryDriver, AbsentDriverIssuesNoDeviceControlAndChangesNothing) {
  InFreshProcess([] {
    Fake().createResult = port_seam::kInvalidHandle;
    qx17_link::LastStatus = 9;
    qx17_link::DriverMajor = 4;
    EXPECT_FALSE(qx17_link::QueryDriver());
    EXPECT_TRUE(Controls().empty());
    EXPECT_EQ(qx17_link::LastStatus, 9);
    EXPECT_EQ(qx17_link::DriverMajor, 4);
  });
}

TEST(QueryDriver, SendsVersionQueryWithPortDefaults) {
  InFreshProcess([] {
    qx17_link::PortIndex = 1;
    ASSERT_TRUE(qx17_link::QueryDriver());
    auto controls = Controls();
    ASSERT_EQ(controls.size(), 1U);
    EXPECT_EQ(controls[0].controlCode, drv_502::IOCTL_GET_VERSION);
    EXPECT_EQ(controls[0].request[16] | (controls[0].request[17] << 8), 0x278);
    EXPECT_EQ(ParamCOf(controls[0].request.data()), 400000U);
    EXPECT_EQ(qx17_link::DriverMinor, 2);
    EXPECT_EQ(qx17_link::DriverMajor, 5);
    EXPECT_EQ(qx17_link::LastStatus, 0);
  });
}

TEST(QueryDriver, TakesVersionBytesWhateverTheStatus) {
  InFreshProcess([] {
    Fake().respond = [](std::uint32_t, Record& record) {
      record[0] = 2;
      record[kPayload] = 3;
      record[kPayload + 1] = 7;
      return true;
    };
    ASSERT_TRUE(qx17_link::QueryDriver());
    EXPECT_EQ(qx17_link::LastStatus, 2);
    EXPECT_EQ(qx17_link::DriverMinor, 3);
    EXPECT_EQ(qx17_link::DriverMajor, 7);
  });
}

TEST(WakeInstrument, SendsLowWakeHighAtWakeTimingThenRestoresIt) {
  InFreshProcess([] {
    ASSERT_TRUE(qx17_link::QueryDriver());
    Fake().calls.clear();
    qx17_link::LastStatus = 6;
    qx17_link::WakeInstrument();
    auto controls = Controls();
    ASSERT_EQ(controls.size(), 3U);
    EXPECT_EQ(controls[0].controlCode, drv_502::IOCTL_SEND_BYTE);
    EXPECT_EQ(controls[0].request[kPayload], 0x00);
    EXPECT_EQ(controls[1].controlCode, drv_502::IOCTL_WAKE);
    EXPECT_EQ(controls[1].request[kPayload], 0x00);
    EXPECT_EQ(controls[2].controlCode, drv_502::IOCTL_SEND_BYTE);
    EXPECT_EQ(controls[2].request[kPayload], 0xFF);
    for (const auto& call : controls) EXPECT_EQ(ParamCOf(call.request.data()), 40000U);
    EXPECT_EQ(qx17_link::DriverRequest.ParamC, 400000U);
    EXPECT_EQ(qx17_link::LastStatus, 6);
    EXPECT_EQ(Fake().emulator.awake, 1);
  });
}

TEST(WakeInstrument, OnClosedChannelLeavesParamCAtItsStartValue) {
  InFreshProcess([] {
    qx17_link::WakeInstrument();
    EXPECT_EQ(qx17_link::DriverRequest.ParamC, 0U);
    EXPECT_TRUE(Fake().calls.empty());
  });
}

struct IdentifyCase {
  const char* name;
  std::uint8_t status;
  std::array<std::uint8_t, 6> bytes;  // reply payload bytes 1..6
  std::uint16_t dataFormat;
  std::uint8_t identByte3;
  std::uint8_t identByte4;
  std::int32_t identWord5;
};

class IdentifyTest : public testing::TestWithParam<IdentifyCase> {};

TEST_P(IdentifyTest, TakesIdentificationFieldsWhateverTheStatus) {
  InFreshProcess([] {
    ASSERT_TRUE(qx17_link::QueryDriver());
    Fake().respond = [](std::uint32_t, Record& record) {
      record[0] = GetParam().status;
      std::copy(GetParam().bytes.begin(), GetParam().bytes.end(), record.begin() + kPayload + 1);
      return true;
    };
    qx17_link::IdentifyInstrument();
    auto controls = Controls();
    const auto& call = controls.back();
    EXPECT_EQ(call.controlCode, drv_502::IOCTL_TRANSACT);
    EXPECT_EQ(call.request[27], 1) << "Mode";
    EXPECT_EQ(call.request[kPayload], qx17_link::CMD_IDENTIFY);
    EXPECT_EQ(qx17_link::LastStatus, GetParam().status);
    EXPECT_EQ(qx17_link::DataFormat, GetParam().dataFormat);
    EXPECT_EQ(qx17_link::IdentByte3, GetParam().identByte3);
    EXPECT_EQ(qx17_link::IdentByte4, GetParam().identByte4);
    EXPECT_EQ(qx17_link::IdentWord5, GetParam().identWord5);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Replies, IdentifyTest,
    testing::Values(
        IdentifyCase{"Accepted", 0, {0x09, 0x06, 0x17, 0x01, 0xBD, 0x02}, 0x0609, 0x17, 1, 701},
        IdentifyCase{"OtherByteOrder", 0, {0x06, 0x09, 0, 0, 0, 0}, 0x0906, 0, 0, 0},
        IdentifyCase{"FailedStillTaken",
                     2,
                     {0x34, 0x12, 0xAB, 0xCD, 0xFF, 0xFF},
                     0x1234,
                     0xAB,
                     0xCD,
                     65535}),
    [](const testing::TestParamInfo<IdentifyCase>& info) { return info.param.name; });

TEST(IdentifyInstrument, OnClosedChannelReadsTheNeverLoadedRecord) {
  InFreshProcess([] {
    qx17_link::LastStatus = 5;
    qx17_link::IdentifyInstrument();
    EXPECT_EQ(qx17_link::LastStatus, 0);
    EXPECT_EQ(qx17_link::DataFormat, 0);
    EXPECT_TRUE(Fake().calls.empty());
  });
}

TEST(FinishLink, SendsFinishInModeZeroThenHighByteAndKeepsLastStatus) {
  InFreshProcess([] {
    ASSERT_TRUE(qx17_link::QueryDriver());
    qx17_link::WakeInstrument();
    qx17_link::IdentifyInstrument();
    Fake().calls.clear();
    qx17_link::LastStatus = 4;
    qx17_link::FinishLink();
    auto controls = Controls();
    ASSERT_EQ(controls.size(), 2U);
    EXPECT_EQ(controls[0].controlCode, drv_502::IOCTL_TRANSACT);
    EXPECT_EQ(controls[0].request[27], 0) << "Mode";
    EXPECT_EQ(controls[0].request[kPayload], qx17_link::CMD_FINISH);
    EXPECT_EQ(controls[0].reply[0], 0);
    EXPECT_EQ(controls[1].controlCode, drv_502::IOCTL_SEND_BYTE);
    EXPECT_EQ(controls[1].request[kPayload], 0xFF);
    EXPECT_EQ(qx17_link::DriverRequest.Mode, 0);
    EXPECT_EQ(qx17_link::LastStatus, 4);
    EXPECT_EQ(Fake().emulator.awake, 0);
  });
}

}  // namespace
