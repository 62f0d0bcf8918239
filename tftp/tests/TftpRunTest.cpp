// The TFTP upgrade and recovery sequence against a simulated boot loader, on virtual time.
#include "bundle/tests/BundleFixtures.h"
#include "platform/testing/ScriptedWindow.h"
#include "platform/testing/VirtualLoop.h"
#include "tftp/Tftpunit.h"
#include "tftp/testing/SimulatedBootLoader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace {

using namespace bundle::testing;
using ::testing::Contains;
using ::testing::ElementsAre;
using tftp::testing::ackOf;
using tftp::testing::be16;
using tftp::testing::SimulatedBootLoader;

class TftpRun : public ::testing::Test {
protected:
    std::optional<fw::TempDir> dir = fw::TempDir::create("fwtest-tftp-");
    fw::VirtualLoop loop;
    SimulatedBootLoader device{loop};
    std::vector<std::string> shownMessages;
    TTFTPForm form{loop, device,
                   [this](std::uint16_t, std::span<const std::byte>, int mode, const std::string&,
                          const std::string& path) {
                       EXPECT_EQ(mode, kTftpMode);
                       shownMessages.push_back(fw::fileNamePart(path));
                   }};
    fw::ScriptedWindow window;
    EmbedFileRows list;
    std::atomic<std::uint16_t> stopCounter{0};
    std::atomic<std::int16_t> upgradeState{11};
    std::int32_t tftpFileOpen = 0;

    std::string file(const std::string& name, std::uint16_t attribute, std::size_t size, char fill = 'f')
    {
        std::string content(size, fill);
        for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + (i * 7 + size) % 26);
        writeFile(*dir, name, fw::asBytes(content));
        list.add(dir->prefix() + name, attribute, 1);
        return content;
    }
    int run()
    {
        return form.RunTftpUpgrade(stopCounter, upgradeState, window, list, "192.168.0.1", "XY",
                                   tftpFileOpen);
    }
    // Lets the run go on for ms of virtual time, one tick of the sequence's timer at a time.
    void runFor(int ms) { loop.advanceBy(ms); }
};

TEST_F(TftpRun, SendsEveryImageByteForByteThenRebootsAndSucceeds)
{
    list.add(dir->prefix() + "fwupgrade.tmp", 0, 0);
    const std::string empty = file("empty.bin.tmp", 0x081D, 0);
    const std::string small = file("small.bin.tmp", 0x08ED, 1000);
    file("note", 0x0401, 140);
    const std::string even = file("even.bin.tmp", 0x08FD, 1024);
    const std::string large = file("large.bin.tmp", 0x081D, 1048576);
    bool rebooted = false;
    device.onReboot = [&] { rebooted = true; };

    std::vector<std::uint16_t> duringTheWait;
    auto sampler = loop.createTimer(1000); // ticks inside the reboot wait, which handles events
    sampler->onTick = [&] { duringTheWait.push_back(stopCounter); };
    sampler->start();
    EXPECT_EQ(run(), 1);
    runFor(8600);
    ASSERT_GE(duringTheWait.size(), 2u);
    EXPECT_EQ(duringTheWait[0], TTFTPForm::kRebooting);
    EXPECT_TRUE(rebooted);
    EXPECT_EQ(stopCounter, TTFTPForm::kRebooted);
    EXPECT_EQ(upgradeState, 12);
    EXPECT_EQ(device.stored["empty.bin.tmp"], empty);
    EXPECT_EQ(device.stored["small.bin.tmp"], small);
    EXPECT_EQ(device.stored["even.bin.tmp"], even);
    EXPECT_EQ(device.stored["large.bin.tmp"], large);
    EXPECT_THAT(shownMessages, ElementsAre("note")); // met between two images
    EXPECT_EQ(form.sectionLetters, "ATX");
    EXPECT_THAT(window.log, Contains(" Recover Success"));
    EXPECT_THAT(window.log, Contains("Total upgrade file count in TFTP mode: 4"));
    EXPECT_EQ(window.log.front(), "Upgrade File Length : 1050600");
    for (const auto& s : device.sent) EXPECT_EQ(s.to, (fw::Endpoint{"192.168.0.1", 69}));
    const std::vector<std::string> tail{window.statuses.end() - 3, window.statuses.end()};
    EXPECT_THAT(tail, ElementsAre("Beginning Upgrade. Do Not Exit Until Upgrade Complete !",
                                  "Rebooting Router...", "Recover success"));
    EXPECT_EQ(tftpFileOpen, 0);
}

TEST_F(TftpRun, TheFirstFilesLinesAndTheSentCount)
{
    const std::string content = file("a.bin.tmp", 0x080D, 1000);
    const std::string path = dir->prefix() + "a.bin.tmp";
    run();
    EXPECT_THAT(window.log, ElementsAre("Upgrade File Length : 1000", "File Attribute : 2061",
                                        "Put Upgrade File without IDCheck >>" + path,
                                        "Send file: " + path + " to 192.168.0.1", "a.bin.tmp",
                                        "Open File : " + path, "Size: 1000 Bytes", "Segment: 1", "mod: 488",
                                        "Sent 0 ..", "Begin to Send " + path + " to   192.168.0.1"));
    EXPECT_EQ(device.sent[0].bytes, tftp::writeRequest("a.bin.tmp"));
}

TEST_F(TftpRun, ADeviceRefusingTheSecondImageFailsTheRun)
{
    file("a.bin.tmp", 0x080D, 600);
    file("b.bin.tmp", 0x080D, 600);
    device.refuseRequest = 2;
    run();
    runFor(1000);
    EXPECT_EQ(stopCounter, TTFTPForm::kRefused);
    EXPECT_EQ(upgradeState, 13);
    EXPECT_EQ(window.log.back(), "Recover process not be accept for router.");
    EXPECT_EQ(window.position(), 0);
}

TEST_F(TftpRun, NothingForTftpFailsAtOnce)
{
    file("http-only.bin", 0x0805, 10);
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(stopCounter, TTFTPForm::kRefused);
    EXPECT_EQ(upgradeState, 13);
    EXPECT_TRUE(device.sent.empty());
}

TEST_F(TftpRun, AFileThatCannotBeOpenedFailsAtOnce)
{
    list.add(dir->prefix() + "missing.bin", 0x080D, 1);
    EXPECT_EQ(run(), -1);
    EXPECT_THAT(window.log, Contains("File Open Error! " + dir->prefix() + "missing.bin"));
    EXPECT_EQ(upgradeState, 13);
}

TEST_F(TftpRun, AMessageFileThatCannotBeReadFailsTheRun)
{
    file("a.bin.tmp", 0x080D, 10);
    list.add(dir->prefix() + "gone", 0x0401, 1);
    file("b.bin.tmp", 0x080D, 10);
    run();
    runFor(1000);
    EXPECT_EQ(stopCounter, TTFTPForm::kRefused);
    EXPECT_THAT(window.log, Contains("Message file onen error : " + dir->prefix() + "gone"));
    EXPECT_EQ(device.requests.size(), 1u); // the walk did not start again from the first file
}

TEST_F(TftpRun, AFileNeedingBlock65535IsRefusedBeforeItsWriteRequest)
{
    file("huge.bin", 0x080D, 0);
    ASSERT_EQ(::truncate((dir->prefix() + "huge.bin").c_str(), 65534LL * 512), 0);
    EXPECT_EQ(run(), -1);
    EXPECT_TRUE(device.sent.empty());
    EXPECT_THAT(window.log, Contains("File too large for TFTP (65,535 blocks of 512 bytes or more): " +
                                     dir->prefix() + "huge.bin"));
}

TEST_F(TftpRun, ARepeatedAckIsDroppedAndNothingIsResent)
{
    file("a.bin.tmp", 0x080D, 2000);
    device.repeatFirstAck = true;
    run();
    runFor(600);
    std::map<unsigned, int> blocks;
    for (const auto& s : device.sent) {
        if (be16(s.bytes, 0) == 3) ++blocks[be16(s.bytes, 2)];
    }
    for (const auto& [block, times] : blocks) EXPECT_EQ(times, 1) << block;
    EXPECT_EQ(blocks.size(), 4u);
}

TEST_F(TftpRun, EveryBlockGoesToPort69WhateverPortAnswers)
{
    file("a.bin.tmp", 0x080D, 3000);
    device.answerPort = 51000;
    run();
    runFor(600);
    EXPECT_EQ(upgradeState, 12);
    for (const auto& s : device.sent) EXPECT_EQ(s.to.port, 69);
}

TEST_F(TftpRun, AnErrorDuringTheRebootWaitLeavesASuccess)
{
    file("a.bin.tmp", 0x080D, 10);
    device.onReboot = [&] { loop.post([&] { device.deliver({std::byte{0}, std::byte{5}}); }); };
    run();
    runFor(8000);
    EXPECT_EQ(stopCounter, TTFTPForm::kRebooted);
    EXPECT_EQ(upgradeState, 12);
}

TEST_F(TftpRun, EveryAcknowledgedBlockResetsTheCounterAndASilentDeviceLeavesItCounting)
{
    file("a.bin.tmp", 0x080D, 5000);
    device.silentAfterBlock = 3;
    run();
    stopCounter = 7;           // as the watchdog would have counted meanwhile
    device.deliver(ackOf(99)); // not for this transfer: no progress
    EXPECT_EQ(stopCounter, 7);
    runFor(100);
    EXPECT_EQ(stopCounter, 0);
    stopCounter = 5;
    runFor(5000);
    EXPECT_EQ(stopCounter, 5); // nothing resent, nothing reset: the watchdog ends such a run
    EXPECT_EQ(upgradeState, 11);
}

TEST_F(TftpRun, ALateAckAfterTheLastFileChangesNothing)
{
    file("a.bin.tmp", 0x080D, 10);
    run();
    runFor(100); // the last block is acknowledged; the walk has ended
    const std::int32_t state = form.tftpState;
    form.TftpFileDone(); // the same acknowledgement again, late
    EXPECT_EQ(form.tftpState, state);
    runFor(8000);
    EXPECT_EQ(upgradeState, 12);
}

} // namespace
