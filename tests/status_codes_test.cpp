#include <gtest/gtest.h>

#include <string>

#include "app/status_codes.h"
#include "tests/support/cp1251.h"

namespace {

struct MessageCase {
  std::int32_t code;
  std::string line;
};

class MessageLineTest : public testing::TestWithParam<MessageCase> {};

TEST_P(MessageLineTest, IsSpaceThenTableTextOrTheCodeNamed) {
  qx17_status::MessageLine line = qx17_status::MessageFor(GetParam().code);
  EXPECT_EQ(std::string(line.Bytes, line.Length), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, MessageLineTest,
    testing::Values(MessageCase{1, " Signal not found!"}, MessageCase{2, " Check sum error!"},
                    MessageCase{3, " LPT Port error!"},
                    MessageCase{4, " LPT Port Driver not found!"},
                    MessageCase{5, Cp1251(" Недопустимый размер файла!")},
                    MessageCase{6, Cp1251(" Недопустимый формат файла!")},
                    MessageCase{7, " LPT Port Driver Invalid Version!"},
                    MessageCase{8, " Data format not supported!"},
                    MessageCase{9, " Memory Data format not supported!"},
                    MessageCase{10, " Too many channels!"}, MessageCase{11, " "},
                    MessageCase{20, " "}, MessageCase{21, " Unknown driver status 21!"},
                    MessageCase{37, " Unknown driver status 37!"},
                    MessageCase{255, " Unknown driver status 255!"},
                    MessageCase{-1, " Unknown driver status -1!"},
                    MessageCase{INT32_MIN, " Unknown driver status -2147483648!"}));

TEST(StatusMessages, EveryEntryFitsItsFiftyBytes) {
  for (const auto& message : qx17_status::StatusMessages) {
    EXPECT_LE(message.Length, qx17_status::kMessageCapacity);
  }
  EXPECT_EQ(qx17_status::StatusMessages[0].Length, 0);
}

}  // namespace
