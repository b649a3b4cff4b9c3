#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "link/qx17_link.h"
#include "tests/support/fresh_process.h"
#include "tests/support/recording_seam.h"

namespace {

using recording_seam::CallKind;
using recording_seam::Fake;
using recording_seam::Record;

constexpr std::size_t kPayload = 28;

using Chunk = std::pair<int, int>;  // address, length

std::vector<std::pair<std::int32_t, std::int32_t>>& HookCalls() {
  static std::vector<std::pair<std::int32_t, std::int32_t>> calls;
  return calls;
}

void RecordProgress(std::int32_t count, std::int32_t done) {
  HookCalls().emplace_back(count, done);
}

// Opens the link and wakes the emulated instrument, then forgets those calls.
void ReadyConversation() {
  ASSERT_TRUE(qx17_link::QueryDriver());
  qx17_link::WakeInstrument();
  qx17_link::ProgressHook = RecordProgress;
  Fake().calls.clear();
}

std::vector<Chunk> SentChunks() {
  std::vector<Chunk> chunks;
  for (const auto& call : Fake().CallsOf(CallKind::kDeviceIoControl)) {
    chunks.emplace_back(call.request[kPayload + 1], call.request[kPayload + 2]);
  }
  return chunks;
}

struct RangeCase {
  const char* name;
  std::int32_t start;
  std::int32_t count;
  std::vector<Chunk> chunks;
};

std::vector<Chunk> Eights(int from, int number) {
  std::vector<Chunk> chunks;
  for (int i = 0; i < number; ++i) chunks.emplace_back(from + 8 * i, 8);
  return chunks;
}

class TransferRangeTest : public testing::TestWithParam<std::tuple<RangeCase, bool>> {};

// Both directions split a run the same way; only the frame differs.
TEST_P(TransferRangeTest, SplitsIntoChunksWithinThePage) {
  InFreshProcess([] {
    const RangeCase& range = std::get<0>(GetParam());
    bool write = std::get<1>(GetParam());
    ReadyConversation();
    qx17_link::LastStatus = 9;
    std::uint8_t buffer[256] = {};
    if (write) {
      qx17_link::WritePage(range.start, range.count, buffer);
    } else {
      qx17_link::ReadPage(range.start, range.count, buffer);
    }
    EXPECT_EQ(SentChunks(), range.chunks);
    std::vector<std::pair<std::int32_t, std::int32_t>> expectedHooks;
    std::int32_t done = 0;
    for (const Chunk& chunk : range.chunks) {
      expectedHooks.emplace_back(range.count, done);
      done += chunk.second;
    }
    EXPECT_EQ(HookCalls(), expectedHooks);
    EXPECT_EQ(qx17_link::DriverRequest.Mode, 1);
    EXPECT_EQ(qx17_link::LastStatus, range.chunks.empty() ? 9 : 0);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, TransferRangeTest,
    testing::Combine(testing::Values(RangeCase{"TheBlock", 32, 32, Eights(32, 4)},
                                     RangeCase{"WholePage", 0, 256, Eights(0, 32)},
                                     RangeCase{"CutAtPageEnd", 250, 32, {{250, 6}}},
                                     RangeCase{"OnlyOffsetInPageSent", 288, 32, Eights(32, 4)},
                                     RangeCase{"ShortTail", 10, 13, {{10, 8}, {18, 5}}},
                                     RangeCase{"LastByte", 255, 1, {{255, 1}}},
                                     RangeCase{"CountWrapsAt257", 0, 258, {{0, 1}}},
                                     RangeCase{"CountZero", 0, 0, {}},
                                     RangeCase{"CountNegative", 0, -1, {}},
                                     RangeCase{"Count257", 0, 257, {}},
                                     RangeCase{"StartNegative", -1, 8, {}},
                                     RangeCase{"StartMinimum", INT32_MIN, 8, {}}),
                     testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<RangeCase, bool>>& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) ? "Write" : "Read");
    });

TEST(ReadPage, CopiesInstrumentBytesInAddressOrder) {
  InFreshProcess([] {
    ReadyConversation();
    std::uint8_t destination[40] = {};
    qx17_link::ReadPage(30, 20, destination);
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(destination[i], velk_emu_default_page_byte(30 + i)) << i;
    }
    EXPECT_EQ(destination[20], 0);
  });
}

TEST(ReadPage, StopsAtFailedChunkKeepingEarlierChunksOnly) {
  InFreshProcess([] {
    ReadyConversation();
    velk_emu_inject_status(&Fake().emulator, Fake().emulator.calls + 2, 1);
    std::uint8_t destination[32];
    std::fill(std::begin(destination), std::end(destination), 0xCC);
    qx17_link::ReadPage(32, 32, destination);
    EXPECT_EQ(qx17_link::LastStatus, 1);
    EXPECT_EQ(SentChunks().size(), 2U);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(destination[i], velk_emu_default_page_byte(32 + i));
    EXPECT_THAT(std::vector<std::uint8_t>(destination + 8, destination + 32), testing::Each(0xCC));
  });
}

TEST(ReadPage, RefusedCallCopiesNothing) {
  InFreshProcess([] {
    ReadyConversation();
    velk_emu_refuse_call(&Fake().emulator, Fake().emulator.calls + 1);
    std::uint8_t destination[8] = {};
    qx17_link::ReadPage(32, 8, destination);
    EXPECT_EQ(qx17_link::LastStatus, drv_502::kChannelFailureStatus);
    EXPECT_THAT(destination, testing::Each(0));
  });
}

TEST(ReadPage, NeverWritesPastTheBufferItIsGiven) {
  InFreshProcess([] {
    ReadyConversation();
    std::uint8_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 0xCC);
    qx17_link::ReadPage(0, 32, std::span<std::uint8_t>(buffer, 10));
    EXPECT_EQ(SentChunks(), (std::vector<Chunk>{{0, 8}, {8, 2}}));
    EXPECT_EQ(buffer[9], velk_emu_default_page_byte(9));
    EXPECT_EQ(buffer[10], 0xCC);
  });
}

TEST(WritePage, SendsLengthInCommandByteAndDataAfterAddress) {
  InFreshProcess([] {
    ReadyConversation();
    std::uint8_t source[11];
    for (int i = 0; i < 11; ++i) source[i] = static_cast<std::uint8_t>(0xA0 + i);
    qx17_link::WritePage(100, 11, source);
    auto controls = Fake().CallsOf(CallKind::kDeviceIoControl);
    ASSERT_EQ(controls.size(), 2U);
    EXPECT_EQ(controls[0].request[kPayload], 0x3A);
    EXPECT_EQ(controls[1].request[kPayload], 0x35);
    EXPECT_EQ(controls[1].request[kPayload + 3], 0xA8);
    EXPECT_EQ(controls[1].request[kPayload + 5], 0xAA);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(Fake().emulator.page[100 + i], source[i]) << i;
    EXPECT_EQ(qx17_link::LastStatus, 0);
  });
}

TEST(WritePage, StopsAtFailedChunkLeavingEarlierChunksWritten) {
  InFreshProcess([] {
    ReadyConversation();
    velk_emu_inject_status(&Fake().emulator, Fake().emulator.calls + 3, 2);
    std::uint8_t source[32];
    std::fill(std::begin(source), std::end(source), 0x11);
    qx17_link::WritePage(32, 32, source);
    EXPECT_EQ(qx17_link::LastStatus, 2);
    EXPECT_EQ(SentChunks().size(), 3U);
    for (int a = 32; a < 48; ++a) EXPECT_EQ(Fake().emulator.page[a], 0x11) << a;
    for (int a = 48; a < 64; ++a) {
      EXPECT_EQ(Fake().emulator.page[a], velk_emu_default_page_byte(a)) << a;
    }
  });
}

}  // namespace
