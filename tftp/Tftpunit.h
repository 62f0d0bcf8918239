#pragma once
// TTFTPForm: the hidden holder of the TFTP transfer. It sends the files of the window's list that the
// TFTP walk chooses, one after another, each in lock-step over UDP, shows the message files it meets,
// sends the reboot request when the last file is through, and reports the outcome through the two
// words the driver lends it, stopCounter and upgradeState.
#include "bundle/EmbedFileList.h"
#include "bundle/FileWalk.h"
#include "platform/EventLoop.h"
#include "platform/File.h"
#include "platform/UdpDatagram.h"
#include "platform/WindowOps.h"
#include "tftp/TftpSender.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class TTFTPForm {
public:
    static constexpr std::int32_t kAllSent = 1001, kFailed = 1002;
    // stopCounter values of the run's end.
    static constexpr std::uint16_t kRebooted = 1000, kRebooting = 1001, kRefused = 1002;

    TTFTPForm(fw::EventLoop& loop, fw::UdpDatagram& udp, FileWalk::ShowMessage showMessage);
    ~TTFTPForm();

    // Starts the run and returns at once: 1 when the first write request went out, -1 otherwise.
    int RunTftpUpgrade(std::atomic<std::uint16_t>& stopCounter, std::atomic<std::int16_t>& upgradeState,
                       fw::WindowOps& window, const EmbedFileRows& fileList, const std::string& address,
                       const std::string& module, std::int32_t& tftpFileOpen);
    void TftpFileDone();
    void TFTPTimerTimer();
    int NextTftpFile(int start);
    std::int64_t TftpUpgradeLength();

    int SendTftpFile(const std::string& address, const std::string& path);
    void SendTftpRequest(const std::string& address, std::string_view name, std::string_view mode);
    void NMUDP1DataReceived(int byteCount, const fw::Endpoint& from);
    void NMUDP1DataSend();

    std::int32_t tftpState = 0;
    std::int32_t filesStarted = 0;
    std::int32_t datagramsSent = 0;
    std::string sectionLetters;

private:
    void failNow();
    void closeSource();

    fw::EventLoop& m_loop;
    fw::UdpDatagram& NMUDP1;
    FileWalk::ShowMessage m_showMessage;
    std::unique_ptr<fw::Timer> TFTPTimer;
    tftp::TftpSender m_sender;
    std::array<std::byte, tftp::kDatagramSize> m_sendBuffer{};
    fw::File m_source;

    // Set for the whole run.
    std::atomic<std::uint16_t>* m_stopCounter = nullptr;
    std::atomic<std::int16_t>* m_upgradeState = nullptr;
    fw::WindowOps* m_window = nullptr;
    const EmbedFileRows* m_fileList = nullptr;
    std::string m_address;
    std::string m_module;
    std::int32_t* m_tftpFileOpen = nullptr;
    WalkProgress m_walk;
};
