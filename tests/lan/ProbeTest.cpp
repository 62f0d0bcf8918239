// tests/lan/ProbeTest.cpp: routersim on the router side of the test LAN answers the probes of the device
// search as the devices do, byte for byte, from the right address and port.
#include "tests/lan/LanRun.h"

#include <algorithm>
#include <cstring>
#include <regex>
#include <sstream>

namespace {

using Bytes = std::vector<unsigned char>;

std::string hex(const Bytes& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

void put(Bytes& bytes, std::size_t offset, const std::string& text)
{
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

Bytes cut(Bytes bytes, std::size_t length)
{
    bytes.resize(std::min(bytes.size(), length));
    return bytes;
}

// The replies as the device search reads them: all bytes zero but the texts.
Bytes normalReply(const std::string& module, const std::string& detail)
{
    Bytes reply(68);
    put(reply, 12, detail);
    put(reply, 44, module);
    return reply;
}

Bytes bootReply(const std::string& module, const std::string& detail)
{
    Bytes reply(548);
    reply[0] = 0xC1;
    put(reply, 108, module);
    put(reply, 140, detail);
    return reply;
}

Bytes crashReply(const std::string& module)
{
    Bytes reply{0x00, 0x03, 0x00, 0x01};
    for (char c : "$Brisel" + module) reply.push_back(static_cast<unsigned char>(c));
    reply.push_back(0);
    return reply;
}

Bytes defaultReply()
{
    Bytes reply(64);
    reply[0] = 0x51;
    reply[1] = 0x51;
    return reply;
}

struct Reply {
    std::string from;  // address:port
    std::string bytes; // hex
    bool operator<(const Reply& other) const { return from + bytes < other.from + other.bytes; }
    bool operator==(const Reply&) const = default;
};

void PrintTo(const Reply& reply, std::ostream* os)
{
    *os << reply.from << " " << reply.bytes;
}

Reply reply(const std::string& from, const Bytes& bytes)
{
    return {from, hex(bytes)};
}

std::vector<Reply> repliesIn(const std::string& probeOutput)
{
    static const std::regex kLine(R"(^reply from (\S+) (\d+) bytes: ([0-9a-f]*)$)");
    std::vector<Reply> replies;
    std::istringstream lines(probeOutput);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, kLine)) replies.push_back({match[1], match[3]});
    }
    std::sort(replies.begin(), replies.end());
    return replies;
}

struct ProbeCase {
    const char* label;
    std::vector<std::string> routerAddrs;
    std::vector<std::string> devices;
    std::vector<std::string> probe; // lan_probe's arguments
    std::vector<Reply> want;
};
void PrintTo(const ProbeCase& c, std::ostream* os)
{
    *os << c.label;
}

class ProbeOnTheLan : public testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeOnTheLan, GetsTheRepliesOfTheDevicesThatAnswerIt)
{
    const ProbeCase& c = GetParam();
    std::vector<std::string> pcCommand{lanProbePath()};
    pcCommand.insert(pcCommand.end(), c.probe.begin(), c.probe.end());
    const RunResult run = runOnLan({c.routerAddrs, {}, c.devices}, pcCommand);
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, c.want.empty() ? 1 : 0) << run.out << run.err;

    std::vector<Reply> want = c.want;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(repliesIn(run.out), want) << run.err;
    // routersim logs every datagram: the one probe in, and each reply out.
    EXPECT_EQ(countLines(run.err, "routersim: recv "), 1u) << run.err;
    EXPECT_EQ(countLines(run.err, "routersim: send "), c.want.size()) << run.err;
}

const std::string kBroadcast = "255.255.255.255";
const std::string k23Letters = "ABCDEFGHIJKLMNOPQRSTUVW";
const std::string k31Letters = "abcdefghijklmnopqrstuvwxyz01234";
const std::string kBootWithWrongOpcode = "c10101" + std::string(545 * 2, '0');

INSTANTIATE_TEST_SUITE_P(
    Routersim, ProbeOnTheLan,
    testing::Values(
        ProbeCase{"NormalBroadcastGivesModuleAt44AndDetailAt12",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,detail=1.0,answers=normal"},
                  {"normal", kBroadcast},
                  {reply("192.168.0.1:9", normalReply("XY", "1.0"))}},
        ProbeCase{"NormalProbeToTheDeviceAddressIsAnswered",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,detail=1.0,answers=normal"},
                  {"normal", "192.168.0.1"},
                  {reply("192.168.0.1:9", normalReply("XY", "1.0"))}},
        ProbeCase{
            "LongestTextsFillTheirFieldsAndKeepTheirZeroByte",
            {"192.168.0.1"},
            {"addr=192.168.0.1,module=" + k23Letters + ",detail=" + k31Letters + ",answers=normal+boot"},
            {"normal", kBroadcast},
            {reply("192.168.0.1:9", normalReply(k23Letters, k31Letters))}},
        ProbeCase{"BootRequestIsAnsweredToPort68",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,detail=1.0,answers=boot"},
                  {"boot", kBroadcast},
                  {reply("192.168.0.1:67", bootReply("XY", "1.0"))}},
        ProbeCase{"CrashReplyCarriesTheMarkAtByte4",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,detail=1.0,answers=crash"},
                  {"crash", kBroadcast},
                  {reply("192.168.0.1:69", crashReply("XY"))}},
        ProbeCase{"DefaultAddressProbeIsAnswered",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,answers=default"},
                  {"default", "192.168.0.1"},
                  {reply("192.168.0.1:9", defaultReply())}},
        ProbeCase{"DefaultAddressInAnotherSubnetIsReachedThroughTheDefaultRoute",
                  {"192.168.123.254"},
                  {"addr=192.168.123.254,module=XY,answers=default"},
                  {"default", "192.168.123.254"},
                  {reply("192.168.123.254:9", defaultReply())}},
        ProbeCase{"DefaultAddressProbeBroadcastIsNotAnswered",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,answers=default"},
                  {"default", kBroadcast},
                  {}},
        ProbeCase{"TwoDevicesOnOneAddressGiveTwoReplies",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,detail=1.0,answers=normal",
                   "addr=192.168.0.1,module=ZW,detail=2.0,answers=normal"},
                  {"normal", kBroadcast},
                  {reply("192.168.0.1:9", normalReply("XY", "1.0")),
                   reply("192.168.0.1:9", normalReply("ZW", "2.0"))}},
        ProbeCase{
            "EachDeviceAnswersABroadcastFromItsOwnAddress",
            {"192.168.0.1", "192.168.1.254", "192.168.2.1"},
            {"addr=192.168.0.1,module=A,answers=boot", "addr=192.168.1.254,module=B,answers=boot",
             "addr=192.168.2.1,module=C,answers=normal"},
            {"boot", kBroadcast},
            {reply("192.168.0.1:67", bootReply("A", "")), reply("192.168.1.254:67", bootReply("B", ""))}},
        ProbeCase{"DeviceSwitchedOffForTheProbeStaysSilent",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,answers=boot+crash+default"},
                  {"normal", kBroadcast},
                  {}},
        ProbeCase{"DeviceAnsweringNoProbeStaysSilent",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,answers=none"},
                  {"boot", kBroadcast},
                  {}},
        ProbeCase{"ProbeToAnotherAddressIsNotAnswered",
                  {"192.168.0.1", "192.168.2.1"},
                  {"addr=192.168.0.1,module=XY,answers=normal", "addr=192.168.2.1,module=AB,answers=none"},
                  {"normal", "192.168.2.1"},
                  {}},
        ProbeCase{"ShortNormalReplyIsCutToItsLength",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,detail=1.0,answers=normal,reply-length=14"},
                  {"normal", kBroadcast},
                  {reply("192.168.0.1:9", cut(normalReply("XY", "1.0"), 14))}},
        ProbeCase{"ShortBootReplyIsCutToItsLength",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,detail=1.0,answers=boot,reply-length=109"},
                  {"boot", kBroadcast},
                  {reply("192.168.0.1:67", cut(bootReply("XY", "1.0"), 109))}},
        ProbeCase{"EmptyReplyIsStillSent",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,answers=crash,reply-length=0"},
                  {"crash", kBroadcast},
                  {reply("192.168.0.1:69", {})}},
        ProbeCase{"ReplyLengthBeyondTheReplyLeavesItWhole",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY,detail=1.0,answers=normal,reply-length=1000"},
                  {"normal", kBroadcast},
                  {reply("192.168.0.1:9", normalReply("XY", "1.0"))}},
        ProbeCase{"NormalProbeOneByteShortIsIgnored",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY"},
                  {"raw", "--port", "9", "--bytes", "514400", kBroadcast},
                  {}},
        ProbeCase{"NormalProbeWithATrailingByteIsIgnored",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY"},
                  {"raw", "--port", "9", "--bytes", "5144000000", kBroadcast},
                  {}},
        ProbeCase{"BootReplyArrivingAtPort67IsNotTakenForARequest",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY"},
                  {"raw", "--port", "67", "--bytes", kBootWithWrongOpcode, kBroadcast},
                  {}},
        ProbeCase{"NormalProbeAtTheCrashPortIsIgnored",
                  {"192.168.0.1"},
                  {"addr=192.168.0.1,module=XY"},
                  {"raw", "--port", "69", "--bytes", "51440000", kBroadcast},
                  {}}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
