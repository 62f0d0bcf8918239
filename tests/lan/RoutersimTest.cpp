// tests/lan/RoutersimTest.cpp: routersim's command line. routersim runs on the PC side of the test LAN
// here, as it may run nowhere but in a namespace of the harness.
#include "tests/lan/LanRun.h"
#include "tests/lan/RoutersimRejects.h"

namespace {

TEST_P(RoutersimRejects, ABadCommandLineWithStatus2)
{
    std::vector<std::string> command{routersimPath()};
    command.insert(command.end(), GetParam().args.begin(), GetParam().args.end());
    const RunResult run = runOnLan({}, command);
    SKIP_WITHOUT_LAN(run.status, run.err);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(GetParam().wantInErr), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Try 'routersim --help'"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("routersim: ready"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("routersim: ready"), std::string::npos) << run.out;
}

std::vector<std::string> device(const std::string& spec)
{
    return {"--device", spec};
}

INSTANTIATE_TEST_SUITE_P(
    Options, RoutersimRejects,
    testing::Values(
        BadCase{"UnknownOption", {"--devices", "addr=192.168.0.1,module=XY"}, "unknown argument '--devices'"},
        BadCase{"NoDevice", {}, "no device given"},
        BadCase{"DeviceWithoutSpec", {"--device"}, "--device needs a SPEC"},
        BadCase{"FieldWithoutValue", device("addr=192.168.0.1,module"), "'module' is not KEY=VALUE"},
        BadCase{"MissingAddress", device("module=XY"), "addr= is missing"},
        BadCase{"MissingModule", device("addr=192.168.0.1"), "module= is missing"},
        BadCase{"AddressOutOfRange", device("addr=192.168.0.256,module=XY"), "not an IPv4 address"},
        BadCase{"BroadcastAddress", device("addr=255.255.255.255,module=XY"), "cannot be the address"},
        BadCase{"UnknownKey", device("addr=192.168.0.1,module=XY,colour=red"), "unknown key 'colour'"},
        BadCase{"KeyTwice", device("addr=192.168.0.1,module=XY,module=ZW"), "key 'module' given twice"},
        BadCase{"UnknownProbe", device("addr=192.168.0.1,module=XY,answers=normal+reboot"),
                "unknown probe 'reboot'"},
        BadCase{"EmptyProbeList", device("addr=192.168.0.1,module=XY,answers="), "unknown probe ''"},
        BadCase{"ModuleOneByteTooLong", device("addr=192.168.0.1,module=ABCDEFGHIJKLMNOPQRSTUVWX"),
                "module text is longer than 23 bytes"},
        BadCase{"DetailOneByteTooLong",
                device("addr=192.168.0.1,module=XY,detail=abcdefghijklmnopqrstuvwxyz012345"),
                "detail text is longer than 31 bytes"},
        BadCase{"NegativeReplyLength", device("addr=192.168.0.1,module=XY,reply-length=-1"),
                "reply-length=-1 is not a number"},
        BadCase{"ReplyLengthAboveADatagram", device("addr=192.168.0.1,module=XY,reply-length=65508"),
                "reply-length=65508 is not a number"},
        BadCase{"ReplyLengthWithUnit", device("addr=192.168.0.1,module=XY,reply-length=20b"),
                "reply-length=20b is not a number"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Routersim, HelpDescribesTheDeviceSpec)
{
    const RunResult run = runOnLan({}, {routersimPath(), "--help"});
    SKIP_WITHOUT_LAN(run.status, run.err);
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* word : {"--device SPEC", "addr=", "module=", "detail=", "answers=", "reply-length="})
        EXPECT_NE(run.out.find(word), std::string::npos) << word << "\n" << run.out;
}

struct StopCase {
    const char* label;
    const char* signal;
};
void PrintTo(const StopCase& c, std::ostream* os)
{
    *os << c.label;
}

class RoutersimStopped : public testing::TestWithParam<StopCase> {};

// routersim runs here as a background job of a shell, which starts it with SIGINT ignored.
TEST_P(RoutersimStopped, BySignalEndsWithStatus0)
{
    const std::string script = std::string(R"(out=$(mktemp); "$0" --device addr=10.77.0.2,module=XY >"$out" &
pid=$!
for i in $(seq 100); do grep -q '^routersim: ready$' "$out" && break; sleep 0.05; done
cat "$out"; rm -f "$out"
kill -)") + GetParam().signal + R"( $pid
for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && { echo "still running"; kill -KILL $pid; }
wait $pid; echo "status=$?")";
    const RunResult run = runOnLan({}, {"bash", "-c", script, routersimPath()});
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("routersim: ready\n"), std::string::npos) << run.out << run.err;
    EXPECT_NE(run.out.find("status=0\n"), std::string::npos) << run.out << run.err;
    EXPECT_NE(run.err.find(std::string("routersim: ending on SIG") + GetParam().signal), std::string::npos)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(Signals, RoutersimStopped,
                         testing::Values(StopCase{"Sigint", "INT"}, StopCase{"Sigterm", "TERM"}),
                         [](const auto& info) { return std::string(info.param.label); });

// The boot loader's options, through the same checks.
const std::string kLoader = "addr=192.168.0.1,module=XY,tftp=on";

INSTANTIATE_TEST_SUITE_P(
    LoaderOptions, RoutersimRejects,
    testing::Values(
        BadCase{"TftpNeitherOnNorOff",
                {"--device", "addr=192.168.0.1,module=XY,tftp=yes"},
                "tftp=yes is not on or off"},
        BadCase{"LoaderWithoutStore", {"--device", kLoader}, "no --store DIR"},
        BadCase{"TwoLoadersOnOneAddress",
                {"--store", "/tmp", "--device", kLoader, "--device", kLoader},
                "two devices with tftp=on at 192.168.0.1"},
        BadCase{"AckFromAnotherPortNumber",
                {"--device", kLoader, "--ack-from", "70"},
                "--ack-from wants 69 or transfer"},
        BadCase{"RebootTimeWithUnit",
                {"--device", kLoader, "--reboot-ms", "2s"},
                "--reboot-ms 2s is not a number"},
        BadCase{
            "RefuseWriteZero", {"--device", kLoader, "--refuse-write", "0"}, "counts write requests from 1"},
        BadCase{"DropAckWithoutValue", {"--device", kLoader, "--drop-ack"}, "--drop-ack needs a value"},
        BadCase{"RecoveredDetailTooLong",
                {"--recovered-detail", std::string(32, 'x'), "--device", kLoader},
                "--recovered-detail is longer than 31 bytes"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
