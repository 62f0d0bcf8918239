// The probe datagrams and the reading of replies, byte by byte.
#include "discovery/ProbeFormats.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::byte> bytes(std::initializer_list<unsigned> values)
{
    std::vector<std::byte> out;
    for (const unsigned v : values) out.push_back(static_cast<std::byte>(v));
    return out;
}

std::string text(const std::vector<std::byte>& d, std::size_t from, std::size_t count)
{
    return std::string(reinterpret_cast<const char*>(d.data() + from), count);
}

TEST(ProbeDatagrams, CarryTheirExactBytes)
{
    EXPECT_EQ(probe::datagramFor(probe::kNormal, ""), bytes({0x51, 0x44, 0x00, 0x00}));
    EXPECT_EQ(probe::datagramFor(probe::kCrash, ""),
              bytes({0x00, 0x01, 0x56, 0x4E, 0x00, 0x6F, 0x63, 0x74, 0x65, 0x74, 0x00}));
    EXPECT_EQ(probe::datagramFor(probe::kDefaultAddress, ""), bytes({0x51, 0x51, 0x00}));
    EXPECT_TRUE(probe::datagramFor(probe::kPingOnly, "").empty());
}

TEST(ProbeDatagrams, BootRequestCarriesTheRomIdInAZeroPaddedField)
{
    const auto d = probe::datagramFor(probe::kBootRequest, "Vantik");
    ASSERT_EQ(d.size(), 548u);
    EXPECT_EQ(d[0], std::byte{0xC0});
    EXPECT_EQ(d[1], std::byte{0x01});
    EXPECT_EQ(d[2], std::byte{0x01});
    EXPECT_EQ(text(d, 108, 7), std::string("Vantik\0", 7));
    for (std::size_t i = 3; i < d.size(); ++i) {
        if (i < 108 || i > 113) {
            EXPECT_EQ(d[i], std::byte{0}) << i;
        }
    }
}

TEST(ProbeDatagrams, ALongRomIdLosesItsSixteenthCharacterToTheFieldEnd)
{
    const auto d = probe::bootRequest("ABCDEFGHIJKLMNOPQRST"); // 20 characters
    EXPECT_EQ(text(d, 108, 15), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(d[123], std::byte{0});
    EXPECT_EQ(text(d, 124, 4), "QRST");
    EXPECT_EQ(d[128], std::byte{0});
}

struct AcceptCase {
    const char* label;
    int kind;
    std::vector<std::byte> reply;
    bool accepted;
    friend void PrintTo(const AcceptCase& c, std::ostream* os) { *os << c.label; }
};

class Accepts : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(Accepts, OnlyRepliesOfTheRightForm)
{
    EXPECT_EQ(probe::accepts(GetParam().kind, GetParam().reply), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Accepts,
    ::testing::Values(
        AcceptCase{"BootReplyMarkedAtByteZero", probe::kBootRequest, bytes({0xC1}), true},
        AcceptCase{"BootReplyMarkedAtByteThree", probe::kBootRequest, bytes({0, 0, 0, 0x10}), true},
        AcceptCase{"BootRequestEchoedBack", probe::kBootRequest, bytes({0xC0, 1, 1, 0}), false},
        AcceptCase{"EmptyBootReply", probe::kBootRequest, {}, false},
        AcceptCase{"CrashReply", probe::kCrash, bytes({0, 3, 0, 1, '$', 'B', 'r', 'i', 's', 'e', 'l'}), true},
        AcceptCase{"CrashReplyCutInsideTheMark", probe::kCrash, bytes({0, 3, 0, 1, '$', 'B', 'r'}), false},
        AcceptCase{"CrashReplyOfAnotherDevice", probe::kCrash,
                   bytes({0, 5, 0, 1, 'E', 'r', 'r', 'o', 'r', 0, 0}), false},
        AcceptCase{"AnyNormalReply", probe::kNormal, {}, true},
        AcceptCase{"AnyDefaultAddressReply", probe::kDefaultAddress, bytes({1}), true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ReplyTexts, StayInsideTheReply)
{
    std::vector<std::byte> reply(68);
    reply[12] = std::byte{'1'};
    reply[44] = std::byte{'X'};
    reply[45] = std::byte{'Y'};
    EXPECT_EQ(probe::textsOf(probe::kNormal, reply).module, "XY");
    EXPECT_EQ(probe::textsOf(probe::kNormal, reply).detail, "1");

    reply.resize(20); // shorter than the module's offset
    EXPECT_EQ(probe::textsOf(probe::kNormal, reply).module, "");
    std::vector<std::byte> unterminated(16, std::byte{'z'});
    EXPECT_EQ(probe::textAt(unterminated, 12), "zzzz"); // ends with the datagram
    EXPECT_EQ(probe::textAt(unterminated, 16), "");
    EXPECT_EQ(probe::textsOf(probe::kDefaultAddress, reply).module, "default IP");
    EXPECT_EQ(probe::textsOf(probe::kCrash, reply).detail, "unknown");
}

} // namespace
