#include <gtest/gtest.h>

#include "proto/MvFrame.h"
#include "proto/MvScramble.h"

namespace tavrik {
namespace {

TEST(Frame, HeadersOnTheWire) {
  EXPECT_EQ(BuildRequestHeader(8, "0493"), "0000000800000000" "0493");
  EXPECT_EQ(BuildReplyHeader(0x1A2B, "0001"), "00001A2B000000000001");
}

TEST(Frame, RequestHeadersAreCheckedStrictly) {
  auto ok = ParseRequestHeader("0000001A000000000464");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->payload_length, 26u);
  EXPECT_FALSE(ok->packed);
  EXPECT_EQ(ok->code, "0464");
  EXPECT_TRUE(ParseRequestHeader("FFFFFFFF000100000037"));
  const char* bad[] = {
      "0000001A00000000046",    // short
      "0000001G000000000464",   // not hexadecimal
      "0000001A000200000464",   // unknown pack flag
      "0000001A000000010464",   // reserved not zero
      "0000001A00000000046X",   // code not decimal
      "-000001A000000000464",
  };
  for (const char* h : bad) EXPECT_FALSE(ParseRequestHeader(h)) << h;
}

TEST(Frame, ReplyLengthThatIsNotANumberMeansNoPayload) {
  EXPECT_EQ(ReplyPayloadLength("00000400xxxxxxxx0001"), 1024u);
  EXPECT_EQ(ReplyPayloadLength("nonsense00000000ABCD"), 0u);
  EXPECT_EQ(ReplyCode("00000000000000000302"), "0302");
  EXPECT_TRUE(IsNoticeCode("0301"));
  EXPECT_FALSE(IsNoticeCode("0304"));
}

TEST(Scramble, EachRangeMovesByItsAmount) {
  EXPECT_EQ(Scramble(std::string("\x1d\x1e\x27\x28\x31\x32\x3b\x3c\x45\x46\x4f\x50\x59\x5a\x63\x64\x6d\x6e\x77\x78\x81\x82", 22)),
            std::string("\x1d\x05\x0e\x19\x22\x0f\x18\x41\x4a\x5f\x68\x7d\x86\x9b\xa4\xb9\xc2\xd7\xe0\xf5\xfe\x82", 22));
  EXPECT_EQ(Scramble("PORTAL 6"), "}h\x7f\x81" "Fe\x07\x13");  // P+45 O+25 R+45 T+45 A+5 L+25 blank-25 6-35
}

TEST(Scramble, PrintableTextUnscramblesExactly) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::string printable = all.substr(32, 95);
  EXPECT_EQ(Unscramble(Scramble(printable)), printable);
  EXPECT_EQ(Scramble(all).size(), 256u);
}

}  // namespace
}  // namespace tavrik
