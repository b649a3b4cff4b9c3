#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "driver/drv_502.h"
#include "tests/support/fresh_process.h"
#include "tests/support/recording_seam.h"

namespace {

using recording_seam::CallKind;
using recording_seam::Fake;

TEST(DriverChannel, OpensTheDeviceExactlyAsTheDriverExpects) {
  InFreshProcess([] {
    ASSERT_TRUE(drv_502::OpenDriver());
    auto opens = Fake().CallsOf(CallKind::kCreateFile);
    ASSERT_EQ(opens.size(), 1U);
    EXPECT_EQ(opens[0].fileName, "\\\\.\\velk_502");
    EXPECT_EQ(opens[0].desiredAccess, 0xC0000000U);  // GENERIC_READ | GENERIC_WRITE
    EXPECT_EQ(opens[0].shareMode, 0U);
    EXPECT_TRUE(opens[0].securityAttributesNull);
    EXPECT_EQ(opens[0].creationDisposition, 4U);    // OPEN_ALWAYS
    EXPECT_EQ(opens[0].flagsAndAttributes, 0x80U);  // FILE_ATTRIBUTE_NORMAL
    EXPECT_TRUE(opens[0].templateNull);
    EXPECT_TRUE(drv_502::DriverIsOpen());
  });
}

TEST(DriverChannel, SecondOpenIssuesNoSecondCreateFile) {
  InFreshProcess([] {
    ASSERT_TRUE(drv_502::OpenDriver());
    ASSERT_TRUE(drv_502::OpenDriver());
    EXPECT_EQ(Fake().CallsOf(CallKind::kCreateFile).size(), 1U);
  });
}

struct HandleCase {
  const char* name;
  port_seam::Handle created;
  bool open;
};

class HandleRuleTest : public testing::TestWithParam<HandleCase> {};

TEST_P(HandleRuleTest, CountsOpenOnlyBelowTheSignBitAndNeverClosesAFailedOpen) {
  InFreshProcess([] {
    Fake().createResult = GetParam().created;
    EXPECT_EQ(drv_502::OpenDriver(), GetParam().open);
    EXPECT_EQ(drv_502::DriverIsOpen(), GetParam().open);
    EXPECT_EQ(drv_502::DriverHandle, GetParam().open ? GetParam().created : 0U);
    EXPECT_TRUE(Fake().CallsOf(CallKind::kCloseHandle).empty());
    // A closed channel tries again on the next open.
    drv_502::OpenDriver();
    EXPECT_EQ(Fake().CallsOf(CallKind::kCreateFile).size(), GetParam().open ? 1U : 2U);
  });
}

INSTANTIATE_TEST_SUITE_P(Handles, HandleRuleTest,
                         testing::Values(HandleCase{"Zero", 0, false}, HandleCase{"One", 1, true},
                                         HandleCase{"Typical", 0x1F4, true},
                                         HandleCase{"Highest", 0x7FFFFFFF, true},
                                         HandleCase{"SignBit", 0x80000000U, false},
                                         HandleCase{"Invalid32", 0xFFFFFFFFU, false},
                                         HandleCase{"Invalid64", port_seam::kInvalidHandle, false}),
                         [](const testing::TestParamInfo<HandleCase>& info) {
                           return info.param.name;
                         });

TEST(DriverChannel, CloseReleasesAnOpenHandleOnce) {
  InFreshProcess([] {
    ASSERT_TRUE(drv_502::OpenDriver());
    drv_502::CloseDriver();
    drv_502::CloseDriver();
    auto closes = Fake().CallsOf(CallKind::kCloseHandle);
    ASSERT_EQ(closes.size(), 1U);
    EXPECT_EQ(closes[0].handle, 0x1F4U);
    EXPECT_EQ(drv_502::DriverHandle, 0U);
  });
}

struct PortCase {
  std::int32_t port;
  std::uint16_t dataPort;
  std::uint16_t statusPort;
};

class InitRequestTest : public testing::TestWithParam<PortCase> {};

TEST_P(InitRequestTest, LoadsDefaultsForThePortAndLeavesReservedBytes) {
  drv_502::DriverRequest request;
  std::memset(&request, 0xAA, sizeof request);
  drv_502::InitRequest(request, GetParam().port);
  EXPECT_EQ(request.ReplyStatus, 0);
  EXPECT_EQ(request.ParamA, 100U);
  EXPECT_EQ(request.ParamB, 5U);
  EXPECT_EQ(request.ParamC, 400000U);
  EXPECT_EQ(request.DataPort, GetParam().dataPort);
  EXPECT_EQ(request.ByteA, 0xFE);
  EXPECT_EQ(request.ByteB, 0);
  EXPECT_EQ(request.ByteC, 1);
  EXPECT_EQ(request.StatusPort, GetParam().statusPort);
  EXPECT_EQ(request.ByteD, 8);
  EXPECT_EQ(request.ByteE, 0);
  EXPECT_EQ(request.ByteF, 0xE6);
  EXPECT_EQ(request.Mode, 0);
  EXPECT_THAT(request.Payload, testing::Each(0));
  EXPECT_THAT(request.Reserved1, testing::Each(0xAA));
  EXPECT_EQ(request.Reserved2, 0xAA);
}

INSTANTIATE_TEST_SUITE_P(Ports, InitRequestTest,
                         testing::Values(PortCase{0, 0x378, 0x379}, PortCase{1, 0x278, 0x279},
                                         PortCase{2, 0, 0}, PortCase{-1, 0, 0}));

TEST(DriverChannel, ExchangeOnClosedChannelChangesOnlyTheStatusByte) {
  InFreshProcess([] {
    drv_502::DriverRequest request;
    std::memset(&request, 0x5A, sizeof request);
    drv_502::DriverRequest before = request;
    drv_502::Exchange(request, drv_502::IOCTL_TRANSACT);
    EXPECT_EQ(request.ReplyStatus, 0);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&request) + 1,
                          reinterpret_cast<const char*>(&before) + 1, sizeof request - 1),
              0);
    EXPECT_TRUE(Fake().calls.empty());
  });
}

TEST(DriverChannel, ExchangeHandsTheRecordToTheDriverBothWays) {
  InFreshProcess([] {
    ASSERT_TRUE(drv_502::OpenDriver());
    drv_502::DriverRequest request{};
    drv_502::InitRequest(request, 0);
    request.ReplyStatus = 7;  // left over from an earlier reply
    drv_502::Exchange(request, drv_502::IOCTL_GET_VERSION);
    auto controls = Fake().CallsOf(CallKind::kDeviceIoControl);
    ASSERT_EQ(controls.size(), 1U);
    const auto& call = controls[0];
    EXPECT_EQ(call.handle, 0x1F4U);
    EXPECT_EQ(call.controlCode, 0x222000U);
    EXPECT_EQ(call.inSize, 60U);
    EXPECT_EQ(call.outSize, 60U);
    EXPECT_TRUE(call.sameBuffer);
    EXPECT_TRUE(call.bytesReturnedGiven);
    EXPECT_TRUE(call.overlappedNull);
    EXPECT_EQ(call.request[0], 0) << "status byte not cleared before the call";
    EXPECT_EQ(std::memcmp(&request, call.reply.data(), sizeof request), 0);
    EXPECT_EQ(request.Payload[1], 5);
  });
}

struct CallOutcomeCase {
  const char* name;
  bool callSucceeds;
  std::uint8_t driverStatus;
  std::uint8_t expectedStatus;
};

class ExchangeOutcomeTest : public testing::TestWithParam<CallOutcomeCase> {};

// A call that fails brings no reply; reading status 0 from the untouched record would pass the
// request's own bytes off as data.
TEST_P(ExchangeOutcomeTest, StatusByteReflectsDriverReplyOrFailedCall) {
  InFreshProcess([] {
    ASSERT_TRUE(drv_502::OpenDriver());
    Fake().respond = [](std::uint32_t, recording_seam::Record& record) {
      record[0] = GetParam().driverStatus;
      return GetParam().callSucceeds;
    };
    drv_502::DriverRequest request{};
    drv_502::InitRequest(request, 0);
    drv_502::Exchange(request, drv_502::IOCTL_TRANSACT);
    EXPECT_EQ(request.ReplyStatus, GetParam().expectedStatus);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ExchangeOutcomeTest,
    testing::Values(CallOutcomeCase{"Success", true, 0, 0},
                    CallOutcomeCase{"DriverStatus", true, 2, 2},
                    CallOutcomeCase{"CallFailedRecordUntouched", false, 0, 3},
                    CallOutcomeCase{"CallFailedAfterWritingStatus", false, 1, 3}),
    [](const testing::TestParamInfo<CallOutcomeCase>& info) { return info.param.name; });

}  // namespace
