// The emulated driver is the peer every other test leans on, so its own rules are pinned here,
// with records built by hand rather than by the product's channel.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "emulator/core/velk_emu.h"

namespace {

using Record = std::array<std::uint8_t, VELK_EMU_RECORD_SIZE>;

constexpr std::size_t kMode = 27;
constexpr std::size_t kPayload = 28;

void Put32(Record& r, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) r[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(Record& r, std::size_t at, std::uint16_t v) {
  r[at] = static_cast<std::uint8_t>(v);
  r[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A record as the driver expects it for the first parallel port.
Record Defaults(std::uint32_t paramC = 400000) {
  Record r{};
  Put32(r, 4, 100);
  Put32(r, 8, 5);
  Put32(r, 12, paramC);
  Put16(r, 16, 0x378);
  r[18] = 0xFE;
  r[20] = 1;
  Put16(r, 22, 0x379);
  r[24] = 8;
  r[26] = 0xE6;
  return r;
}

Record Frame(std::uint8_t mode, std::initializer_list<std::uint8_t> payload) {
  Record r = Defaults();
  r[kMode] = mode;
  std::size_t i = kPayload;
  for (std::uint8_t b : payload) r[i++] = b;
  return r;
}

class EmulatorTest : public testing::Test {
 protected:
  void SetUp() override { velk_emu_reset(&emu_); }

  // One call with the record as in and out buffer, as the Windows channel makes it.
  bool Call(std::uint32_t code, Record& r) {
    std::uint32_t returned = 0;
    return velk_emu_control(&emu_, code, r.data(), 60, r.data(), 60, &returned) != 0;
  }

  std::uint8_t Send(std::uint8_t byte, std::uint32_t paramC = 40000) {
    Record r = Defaults(paramC);
    r[kPayload] = byte;
    EXPECT_TRUE(Call(VELK_EMU_IOCTL_SEND_BYTE, r));
    return r[0];
  }

  std::uint8_t Wake() {
    Record r = Defaults(40000);
    EXPECT_TRUE(Call(VELK_EMU_IOCTL_WAKE, r));
    return r[0];
  }

  void WakeUp() {
    Send(0x00);
    Wake();
    Send(0xFF);
  }

  // Status of an identify transaction: 0 only when the instrument is awake.
  std::uint8_t Identify() {
    Record r = Frame(1, {0x00});
    EXPECT_TRUE(Call(VELK_EMU_IOCTL_TRANSACT, r));
    return r[0];
  }

  velk_emu emu_{};
};

TEST_F(EmulatorTest, AnswersVersionQueryWithConfiguredVersionAndText) {
  Record r = Defaults();
  std::fill(r.begin() + kPayload, r.end(), 0xAA);
  ASSERT_TRUE(Call(VELK_EMU_IOCTL_GET_VERSION, r));
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[kPayload], 2);
  EXPECT_EQ(r[kPayload + 1], 5);
  std::string text(reinterpret_cast<const char*>(&r[kPayload + 2]));
  EXPECT_FALSE(text.empty());
  EXPECT_LT(text.size(), 30U);

  emu_.version_major = 6;
  emu_.version_minor = 0;
  Record again = Defaults();
  ASSERT_TRUE(Call(VELK_EMU_IOCTL_GET_VERSION, again));
  EXPECT_EQ(again[kPayload], 0);
  EXPECT_EQ(again[kPayload + 1], 6);
}

TEST_F(EmulatorTest, OpensOnlyItsOwnNameAndOnlyWhenPresent) {
  EXPECT_EQ(velk_emu_open(&emu_, "\\\\.\\velk_502"), 1);
  EXPECT_EQ(velk_emu_open(&emu_, "\\\\.\\VELK_502"), 1);
  EXPECT_EQ(velk_emu_open(&emu_, "\\\\.\\velk_501"), 0);
  EXPECT_EQ(velk_emu_open(&emu_, "\\\\.\\velk_5021"), 0);
  EXPECT_EQ(velk_emu_open(&emu_, "velk_502"), 0);
  EXPECT_EQ(velk_emu_open(&emu_, nullptr), 0);
  emu_.present = 0;
  EXPECT_EQ(velk_emu_open(&emu_, "\\\\.\\velk_502"), 0);
}

TEST_F(EmulatorTest, InstrumentSleepsUntilWokenAndAgainAfterFinish) {
  EXPECT_EQ(Identify(), VELK_EMU_STATUS_NO_SIGNAL);
  WakeUp();
  EXPECT_EQ(Identify(), 0);
  WakeUp();  // waking an awake instrument keeps it awake
  EXPECT_EQ(Identify(), 0);
  Record finish = Frame(0, {0x10});
  ASSERT_TRUE(Call(VELK_EMU_IOCTL_TRANSACT, finish));
  EXPECT_EQ(finish[0], 0);
  EXPECT_EQ(Identify(), VELK_EMU_STATUS_NO_SIGNAL);
}

TEST_F(EmulatorTest, IdentifyReportsDataFormatLittleEndianAndFixedIdentification) {
  emu_.data_format = 0x1234;
  WakeUp();
  Record r = Frame(1, {0x00});
  ASSERT_TRUE(Call(VELK_EMU_IOCTL_TRANSACT, r));
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[kPayload + 1], 0x34);
  EXPECT_EQ(r[kPayload + 2], 0x12);
  EXPECT_EQ(r[kPayload + 3], 0x17);
  EXPECT_EQ(r[kPayload + 4], 0x01);
  EXPECT_EQ(r[kPayload + 5] | (r[kPayload + 6] << 8), 701);
}

// Each sequence of calls before an identify, and whether it wakes the instrument.
struct WakeCase {
  const char* name;
  std::string steps;  // 0 = send 0x00, W = wake, F = send 0xFF, V = version query, I = identify
  bool awake;
};

class WakeSequenceTest : public EmulatorTest, public testing::WithParamInterface<WakeCase> {};

TEST_P(WakeSequenceTest, WakesOnlyOnTheExactSequence) {
  for (char step : GetParam().steps) {
    Record r = Defaults(40000);
    switch (step) {
      case '0':
        Send(0x00);
        break;
      case 'W':
        Wake();
        break;
      case 'F':
        Send(0xFF);
        break;
      case 'V':
        r = Defaults();
        Call(VELK_EMU_IOCTL_GET_VERSION, r);
        break;
      case 'I':
        Identify();
        break;
      case 'R': {  // the third step refused
        velk_emu_refuse_call(&emu_, emu_.calls + 1);
        r[kPayload] = 0xFF;
        EXPECT_FALSE(Call(VELK_EMU_IOCTL_SEND_BYTE, r));
        break;
      }
      case 'S':  // the wake step answered with an injected status
        velk_emu_inject_status(&emu_, emu_.calls + 1, 2);
        Wake();
        break;
    }
  }
  EXPECT_EQ(Identify() == 0, GetParam().awake);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, WakeSequenceTest,
    testing::Values(WakeCase{"Exact", "0WF", true}, WakeCase{"RepeatedStart", "00WF", true},
                    WakeCase{"NoLowByte", "WF", false}, WakeCase{"NoWake", "0F", false},
                    WakeCase{"WrongOrder", "W0F", false}, WakeCase{"HighFirst", "F0W", false},
                    WakeCase{"VersionBetween", "0VWF", false},
                    WakeCase{"IdentifyBetween", "0WIF", false},
                    WakeCase{"LastStepRefused", "0WR", false},
                    WakeCase{"WakeWithInjectedStatus", "0SF", false},
                    WakeCase{"BrokenThenExact", "0W00WF", true}),
    [](const testing::TestParamInfo<WakeCase>& info) { return info.param.name; });

TEST_F(EmulatorTest, ReadsAndWritesItsPage) {
  WakeUp();
  Record write = Frame(1, {0x35, 100, 3, 0x11, 0x22, 0x33});
  ASSERT_TRUE(Call(VELK_EMU_IOCTL_TRANSACT, write));
  EXPECT_EQ(write[0], 0);
  Record read = Frame(1, {0x22, 99, 5});
  ASSERT_TRUE(Call(VELK_EMU_IOCTL_TRANSACT, read));
  EXPECT_EQ(read[0], 0);
  const std::uint8_t expected[] = {velk_emu_default_page_byte(99), 0x11, 0x22, 0x33,
                                   velk_emu_default_page_byte(103)};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(read[kPayload + 1 + i], expected[i]) << i;
  EXPECT_EQ(emu_.page[100], 0x11);
  EXPECT_EQ(emu_.page[103], velk_emu_default_page_byte(103));
}

struct MalformedCase {
  const char* name;
  std::uint32_t code;
  Record record;
};

Record With(Record r, std::size_t at, std::uint8_t value) {
  r[at] = value;
  return r;
}

Record Retimed(Record r, std::uint32_t paramC) {
  Put32(r, 12, paramC);
  return r;
}

class MalformedRequestTest : public EmulatorTest,
                             public testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedRequestTest, GetsNonzeroStatusAndChangesNoMemory) {
  WakeUp();
  Record r = GetParam().record;
  ASSERT_TRUE(Call(GetParam().code, r));
  EXPECT_NE(r[0], 0);
  for (std::uint32_t a = 0; a < VELK_EMU_PAGE_SIZE; ++a) {
    ASSERT_EQ(emu_.page[a], velk_emu_default_page_byte(a)) << "address " << a;
  }
}

const Record kWrite8 = Frame(1, {0x3A, 32, 8, 1, 2, 3, 4, 5, 6, 7, 8});

INSTANTIATE_TEST_SUITE_P(
    Frames, MalformedRequestTest,
    testing::Values(
        MalformedCase{"WriteInModeZero", VELK_EMU_IOCTL_TRANSACT, With(kWrite8, kMode, 0)},
        MalformedCase{"WriteLengthZero", VELK_EMU_IOCTL_TRANSACT, Frame(1, {0x32, 32, 0, 1, 2, 3})},
        MalformedCase{"WriteLengthNine", VELK_EMU_IOCTL_TRANSACT,
                      Frame(1, {0x3B, 32, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9})},
        MalformedCase{"WriteCommandDisagreesWithLength", VELK_EMU_IOCTL_TRANSACT,
                      With(kWrite8, kPayload + 2, 7)},
        MalformedCase{"WritePastPageEnd", VELK_EMU_IOCTL_TRANSACT,
                      With(kWrite8, kPayload + 1, 250)},
        MalformedCase{"WriteToSecondPort", VELK_EMU_IOCTL_TRANSACT, With(kWrite8, 17, 0x02)},
        MalformedCase{"WriteWithOtherStatusPort", VELK_EMU_IOCTL_TRANSACT, With(kWrite8, 22, 0x7A)},
        MalformedCase{"WriteWithOtherParamA", VELK_EMU_IOCTL_TRANSACT, With(kWrite8, 4, 99)},
        MalformedCase{"WriteWithWakeParamC", VELK_EMU_IOCTL_TRANSACT, Retimed(kWrite8, 40000)},
        MalformedCase{"WriteWithStaleStatusByte", VELK_EMU_IOCTL_TRANSACT, With(kWrite8, 0, 2)},
        MalformedCase{"WriteWithReservedByteSet", VELK_EMU_IOCTL_TRANSACT, With(kWrite8, 21, 1)},
        MalformedCase{"ReadLengthNine", VELK_EMU_IOCTL_TRANSACT, Frame(1, {0x22, 0, 9})},
        MalformedCase{"ReadPastPageEnd", VELK_EMU_IOCTL_TRANSACT, Frame(1, {0x22, 255, 2})},
        MalformedCase{"ReadInModeZero", VELK_EMU_IOCTL_TRANSACT, Frame(0, {0x22, 0, 8})},
        MalformedCase{"IdentifyInModeZero", VELK_EMU_IOCTL_TRANSACT, Frame(0, {0x00})},
        MalformedCase{"FinishInModeOne", VELK_EMU_IOCTL_TRANSACT, Frame(1, {0x10})},
        MalformedCase{"UnknownCommand", VELK_EMU_IOCTL_TRANSACT, Frame(1, {0x44, 32, 1, 9})},
        MalformedCase{"WakeWithPayloadByte", VELK_EMU_IOCTL_WAKE,
                      With(Defaults(40000), kPayload, 0xFF)},
        MalformedCase{"WakeWithNormalParamC", VELK_EMU_IOCTL_WAKE, Defaults()}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

TEST_F(EmulatorTest, InjectedStatusEchoesRequestAndHasNoEffect) {
  WakeUp();
  ASSERT_EQ(velk_emu_inject_status(&emu_, emu_.calls + 1, 37), 1);
  Record r = kWrite8;
  ASSERT_TRUE(Call(VELK_EMU_IOCTL_TRANSACT, r));
  Record expected = kWrite8;
  expected[0] = 37;
  EXPECT_EQ(r, expected);
  EXPECT_EQ(emu_.page[32], velk_emu_default_page_byte(32));
  EXPECT_EQ(velk_emu_traced(&emu_, emu_.calls)->outcome, VELK_EMU_INJECTED);
}

TEST_F(EmulatorTest, RefusedCallFailsLeavesRecordAndHasNoEffect) {
  WakeUp();
  ASSERT_EQ(velk_emu_refuse_call(&emu_, emu_.calls + 1), 1);
  Record r = kWrite8;
  std::uint32_t returned = 99;
  Record out{};
  out.fill(0xEE);
  EXPECT_EQ(
      velk_emu_control(&emu_, VELK_EMU_IOCTL_TRANSACT, r.data(), 60, out.data(), 60, &returned), 0);
  EXPECT_EQ(returned, 0U);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(emu_.page[32], velk_emu_default_page_byte(32));
  // The instrument stays awake: the refused call never reached it.
  EXPECT_EQ(Identify(), 0);
}

TEST_F(EmulatorTest, RefusalWinsOverInjectedStatusForTheSameCall) {
  velk_emu_inject_status(&emu_, 1, 2);
  velk_emu_refuse_call(&emu_, 1);
  Record r = Defaults();
  EXPECT_FALSE(Call(VELK_EMU_IOCTL_GET_VERSION, r));
}

TEST_F(EmulatorTest, UnknownCodeOrWrongBufferSizesFailTheCall) {
  Record r = Defaults();
  EXPECT_FALSE(Call(0x222004, r));
  std::uint32_t returned = 0;
  EXPECT_EQ(
      velk_emu_control(&emu_, VELK_EMU_IOCTL_GET_VERSION, r.data(), 59, r.data(), 60, &returned),
      0);
  EXPECT_EQ(
      velk_emu_control(&emu_, VELK_EMU_IOCTL_GET_VERSION, r.data(), 60, r.data(), 61, &returned),
      0);
  EXPECT_EQ(emu_.calls, 3U);
  EXPECT_EQ(velk_emu_traced(&emu_, 1)->outcome, VELK_EMU_INVALID);
}

TEST_F(EmulatorTest, FaultTableHasFixedRoom) {
  for (std::uint32_t i = 0; i < VELK_EMU_MAX_FAULTS; ++i) {
    ASSERT_EQ(velk_emu_inject_status(&emu_, i + 1, 1), 1);
  }
  EXPECT_EQ(velk_emu_refuse_call(&emu_, 99), 0);
}

TEST_F(EmulatorTest, TraceKeepsCodeRequestAndReplyOfEveryCallItHasRoomFor) {
  Record version = Defaults();
  Record request = version;
  ASSERT_TRUE(Call(VELK_EMU_IOCTL_GET_VERSION, version));
  const velk_emu_exchange* first = velk_emu_traced(&emu_, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->control_code, VELK_EMU_IOCTL_GET_VERSION);
  EXPECT_EQ(first->outcome, VELK_EMU_ANSWERED);
  EXPECT_EQ(std::memcmp(first->request, request.data(), 60), 0);
  EXPECT_EQ(std::memcmp(first->reply, version.data(), 60), 0);

  for (int i = 0; i < VELK_EMU_TRACE_CAPACITY + 5; ++i) Send(0x00);
  EXPECT_EQ(emu_.calls, VELK_EMU_TRACE_CAPACITY + 6U);
  EXPECT_NE(velk_emu_traced(&emu_, VELK_EMU_TRACE_CAPACITY), nullptr);
  EXPECT_EQ(velk_emu_traced(&emu_, VELK_EMU_TRACE_CAPACITY + 1), nullptr);
  EXPECT_EQ(velk_emu_traced(&emu_, 0), nullptr);
}

}  // namespace
