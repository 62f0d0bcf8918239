// tools/nfdelay/tests/NfdelayTest.cpp: the delayer's hold times and its command line.
#include "tools/nfdelay/HoldQueue.h"
#include "tools/nfdelay/Options.h"

#include <gtest/gtest.h>
#include <vector>

namespace nfdelay {
namespace {

using namespace std::chrono_literals;

const Clock::time_point t0{};

TEST(HoldQueue, ReleasesAPacketOnItsReleaseTimeAndNotBefore)
{
    HoldQueue held{5ms};
    held.hold(7, t0);
    EXPECT_EQ(held.takeDue(t0 + 5ms - 1ns), std::nullopt);
    EXPECT_EQ(held.takeDue(t0 + 5ms), 7u); // the boundary is the test
    EXPECT_EQ(held.size(), 0u);
    EXPECT_EQ(held.nextRelease(), std::nullopt);
}

TEST(HoldQueue, ReleasesEveryDuePacketAtOnceAndKeepsTheRestInOrder)
{
    HoldQueue held{5ms};
    held.hold(1, t0);
    held.hold(2, t0 + 1ms);
    held.hold(3, t0 + 3ms);
    // A late wake-up (a busy machine) finds two due: the newest id covers both.
    EXPECT_EQ(held.takeDue(t0 + 6ms), 2u);
    EXPECT_EQ(held.nextRelease(), t0 + 8ms);
    EXPECT_EQ(held.takeAll(), 3u);
    EXPECT_EQ(held.size(), 0u);
}

TEST(HoldQueue, WithoutDelayAPacketIsDueOnArrival)
{
    HoldQueue held{0ms};
    held.hold(9, t0 + 2ms);
    EXPECT_EQ(held.nextRelease(), t0 + 2ms);
    EXPECT_EQ(held.takeDue(t0 + 2ms), 9u);
}

struct CommandLineCase {
    const char* label;
    std::vector<const char*> args;
    std::string wantError; // empty: accepted
    std::uint16_t wantQueue = 0;
    std::chrono::milliseconds wantDelay{0};
};

class NfdelayCommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(NfdelayCommandLine, IsReadAsGiven)
{
    const CommandLineCase& c = GetParam();
    std::vector<const char*> argv{"nfdelay"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ParsedOptions parsed = parseOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_NE(parsed.error.find(c.wantError), std::string::npos) << parsed.error;
    if (c.wantError.empty()) {
        EXPECT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.options.queue, c.wantQueue);
        EXPECT_EQ(parsed.options.delay, c.wantDelay);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Nfdelay, NfdelayCommandLine,
    testing::Values(
        CommandLineCase{"BothValues", {"--delay-ms", "60000", "--queue", "65535"}, "", 65535, 60000ms},
        CommandLineCase{"AQueueBeyond16Bits", {"--queue", "65536", "--delay-ms", "1"}, "from 0 to 65535"},
        CommandLineCase{"ANegativeDelay", {"--queue", "3", "--delay-ms", "-1"}, "not a number"},
        CommandLineCase{"ADelayWithUnits", {"--queue", "3", "--delay-ms", "5ms"}, "not a number"},
        CommandLineCase{"NoDelay", {"--queue", "3"}, "no delay given"},
        CommandLineCase{"NoQueue", {"--delay-ms", "1"}, "no queue given"},
        CommandLineCase{"AMissingValue", {"--queue", "3", "--delay-ms"}, "--delay-ms needs a value"},
        CommandLineCase{"AnUnknownOption", {"--queue-num", "3"}, "unknown argument '--queue-num'"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace nfdelay
