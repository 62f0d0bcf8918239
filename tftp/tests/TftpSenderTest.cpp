// The lock-step engine against byte arrays: blocks, acknowledgements, errors.
#include "tftp/TftpSender.h"

#include <gtest/gtest.h>

namespace tftp {
namespace {

std::vector<std::byte> bytes(std::initializer_list<unsigned> values)
{
    std::vector<std::byte> out;
    for (const unsigned v : values) out.push_back(static_cast<std::byte>(v));
    return out;
}

std::vector<std::byte> ack(unsigned block)
{
    return bytes({0, 4, block >> 8, block & 0xFF});
}

TEST(TftpRequests, CarryTheirExactBytes)
{
    EXPECT_EQ(readRequest("R!"), bytes({0x00, 0x01, 'R', '!', 0x00, 'o', 'c', 't', 'e', 't', 0x00}));
    const auto write = writeRequest("main.bin.tmp");
    EXPECT_EQ(write.size(), 2u + 12 + 1 + 5 + 1);
    EXPECT_EQ(write[1], std::byte{2});
    std::array<std::byte, 4> header{};
    putDataHeader(header, 0x1234);
    EXPECT_EQ(std::vector<std::byte>(header.begin(), header.end()), bytes({0, 3, 0x12, 0x34}));
}

struct FileCase {
    const char* label;
    std::int64_t length;
    std::vector<SendBlock> blocks; // in the order the ACKs 0, 1, 2 ... ask for them
    friend void PrintTo(const FileCase& c, std::ostream* os) { *os << c.label; }
};

class SendsAFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(SendsAFile, BlockByBlockUntilTheLastIsAcknowledged)
{
    TftpSender sender;
    sender.start(GetParam().length);
    const auto& want = GetParam().blocks;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const auto action = sender.onDatagram(ack(static_cast<unsigned>(i)));
        ASSERT_TRUE(action) << i;
        EXPECT_EQ(std::get<SendBlock>(*action), want[i]) << i;
    }
    EXPECT_EQ(sender.onDatagram(ack(static_cast<unsigned>(want.size()))), Action{FileDone{}});
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SendsAFile,
    ::testing::Values(FileCase{"Empty", 0, {{1, 0, 0}}},
                      FileCase{"ThousandBytes", 1000, {{1, 0, 512}, {2, 512, 488}}},
                      FileCase{"TwoFullBlocks", 1024, {{1, 0, 512}, {2, 512, 512}, {3, 1024, 0}}},
                      FileCase{"OneByte", 1, {{1, 0, 1}}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(TftpSender, DropsAStaleOrRepeatedAckAndResendsNothing)
{
    TftpSender sender;
    sender.start(2000);
    ASSERT_TRUE(sender.onDatagram(ack(0)));
    ASSERT_TRUE(sender.onDatagram(ack(1)));
    EXPECT_EQ(sender.nextBlock(), 3);
    EXPECT_FALSE(sender.onDatagram(ack(1)));                 // repeated
    EXPECT_FALSE(sender.onDatagram(ack(0)));                 // stale
    EXPECT_FALSE(sender.onDatagram(ack(5)));                 // ahead
    EXPECT_FALSE(sender.onDatagram(bytes({0, 4, 0})));       // too short for a block number
    EXPECT_FALSE(sender.onDatagram(bytes({0, 3, 0, 2, 9}))); // not an ACK
    EXPECT_EQ(sender.nextBlock(), 3);
    EXPECT_TRUE(sender.onDatagram(ack(2)));
}

TEST(TftpSender, AnErrorFailsWheneverItComes)
{
    TftpSender sender;
    EXPECT_EQ(sender.onDatagram(bytes({0, 5})), Action{PeerError{}}); // even before a file starts
    sender.start(10);
    EXPECT_EQ(sender.onDatagram(bytes({0, 5, 0, 1, 'n', 'o', 0})), Action{PeerError{}});
}

TEST(TftpSender, AFileNeedingBlock65535DoesNotFit)
{
    EXPECT_TRUE(TftpSender::fits(0));
    EXPECT_TRUE(TftpSender::fits(65533LL * 512 + 511)); // 65,534 blocks: the last ACK still matches
    EXPECT_FALSE(TftpSender::fits(65534LL * 512));      // block 65,535 would end the file
    EXPECT_FALSE(TftpSender::fits(-1));
}

TEST(TftpSender, TheLastBlockOfALongFileIsAcknowledgedWithoutWrapping)
{
    TftpSender sender;
    const std::int64_t length = 65533LL * 512 + 511;
    sender.start(length);
    for (unsigned block = 0; block < 65534; ++block) ASSERT_TRUE(sender.onDatagram(ack(block))) << block;
    EXPECT_EQ(sender.onDatagram(ack(65534)), Action{FileDone{}});
}

} // namespace
} // namespace tftp
