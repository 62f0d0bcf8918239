#include "tftp/Tftpunit.h"

#include <algorithm>

namespace {

constexpr std::size_t kLocalPathChars = 255;
constexpr std::size_t kRemoteNameBytes = 32;
constexpr std::size_t kRequestBytes = 128;

} // namespace

TTFTPForm::TTFTPForm(fw::EventLoop& loop, fw::UdpDatagram& udp, FileWalk::ShowMessage showMessage)
    : m_loop{loop}, NMUDP1{udp}, m_showMessage{std::move(showMessage)}
{
    TFTPTimer = m_loop.createTimer(500);
    TFTPTimer->onTick = [this] { TFTPTimerTimer(); };
    NMUDP1.OnDataReceived = [this](int count, const fw::Endpoint& from) { NMUDP1DataReceived(count, from); };
    NMUDP1.OnDataSend = [this] { NMUDP1DataSend(); };
}

TTFTPForm::~TTFTPForm()
{
    NMUDP1.OnDataReceived = nullptr;
    NMUDP1.OnDataSend = nullptr;
}

int TTFTPForm::RunTftpUpgrade(std::atomic<std::uint16_t>& stopCounter,
                              std::atomic<std::int16_t>& upgradeState, fw::WindowOps& window,
                              const EmbedFileRows& fileList, const std::string& address,
                              const std::string& module, std::int32_t& tftpFileOpen)
{
    filesStarted = 0;
    sectionLetters.clear();
    m_stopCounter = &stopCounter;
    m_upgradeState = &upgradeState;
    m_window = &window;
    m_fileList = &fileList;
    m_address = address;
    m_module = module;
    m_tftpFileOpen = &tftpFileOpen;
    tftpFileOpen = 0;

    const std::int64_t total = TftpUpgradeLength();
    tftpState = 0;
    datagramsSent = 0;
    m_walk = WalkProgress{};
    TFTPTimer->start();
    m_window->setMaximum(static_cast<int>(total / 512)); // -1 gives 0
    m_window->setPosition(0);

    tftpState = NextTftpFile(0);
    if (tftpState < 0 || tftpState >= kAllSent) {
        failNow(); // nothing to send, or a message file that cannot be read
        return -1;
    }
    const std::string& path = m_fileList->paths[tftpState];
    m_window->addLine("Send file: " + path + " to " + m_address);
    if (SendTftpFile(m_address, path) < 0) {
        failNow();
        return -1;
    }
    return 1;
}

void TTFTPForm::failNow()
{
    tftpState = kFailed;
    TFTPTimer->stop();
    TFTPTimerTimer();
}

int TTFTPForm::NextTftpFile(int start)
{
    FileWalk walk{WalkMethod::Tftp, *m_fileList, *m_window, *m_window, m_showMessage};
    const int next = walk.next(start, true, m_module, m_walk);
    sectionLetters = m_walk.sectionLetters;
    return next;
}

std::int64_t TTFTPForm::TftpUpgradeLength()
{
    FileWalk walk{WalkMethod::Tftp, *m_fileList, *m_window, *m_window, m_showMessage};
    WalkProgress progress;
    return walk.length(m_module, progress);
}

void TTFTPForm::TftpFileDone()
{
    // An acknowledgement that comes after the walk has ended changes nothing.
    if (tftpState < 0 || tftpState >= m_fileList->count) return;
    tftpState = NextTftpFile(tftpState + 1);
    if (tftpState >= 0 && tftpState < kAllSent) {
        *m_stopCounter = 0;
        if (SendTftpFile(m_address, m_fileList->paths[tftpState]) < 0) failNow();
    } else if (tftpState < 0) {
        failNow(); // a message file that cannot be read ends the run
    }
    // All sent, or nothing further: the timer's next tick ends the run.
}

void TTFTPForm::closeSource()
{
    m_source.close();
}

void TTFTPForm::TFTPTimerTimer()
{
    if (tftpState == kAllSent) {
        tftpState = 0;
        closeSource();
        TFTPTimer->stop();
        m_window->setPosition(m_window->maximum());
        m_window->addLine(" Recover Success");
        *m_stopCounter = kRebooting;
        m_window->setStatus("Success Upgrade and Wait to Reboot");
        SendTftpRequest(m_address, "R!", "octet");
        *m_upgradeState = 12;
        m_window->addLine("Total upgrade file count in TFTP mode: " + std::to_string(filesStarted));
        m_loop.WaitMs(2000, true);
        m_window->setStatus("Rebooting Router...");
        m_loop.WaitMs(5000, true);
        *m_tftpFileOpen = 0;
        m_window->setStatus("Recover success");
        *m_stopCounter = kRebooted;
    } else if (tftpState == kFailed) {
        TFTPTimer->stop();
        closeSource();
        m_window->addLine("Recover process not be accept for router.");
        *m_upgradeState = 13;
        tftpState = 0;
        *m_tftpFileOpen = 0;
        *m_stopCounter = kRefused;
    }
}

int TTFTPForm::SendTftpFile(const std::string& address, const std::string& path)
{
    if (tftpState > 0) m_window->setStatus("Upgrade Not Complete Please Wait to Continue...");
    const std::string localPath = path.substr(0, kLocalPathChars);
    const std::string remoteName = fw::fileNamePart(localPath).substr(0, kRemoteNameBytes);
    m_window->addLine(remoteName);
    if (*m_tftpFileOpen) {
        closeSource();
        *m_tftpFileOpen = 0;
    }
    m_source = fw::File::openRead(localPath);
    const auto length = m_source.size();
    if (!m_source || !length) {
        m_source.close();
        m_window->addLine("File Open Error! " + path);
        return -1;
    }
    *m_tftpFileOpen = 1;
    const std::int64_t fullBlocks = *length / tftp::kBlockSize;
    m_window->addLine("Open File : " + path);
    m_window->addLine("Size: " + std::to_string(*length) + " Bytes");
    m_window->addLine("Segment: " + std::to_string(fullBlocks));
    m_window->addLine("mod: " + std::to_string(*length % tftp::kBlockSize));
    if (!tftp::TftpSender::fits(*length)) {
        // Block numbers do not wrap: the device could never acknowledge the last block.
        closeSource();
        *m_tftpFileOpen = 0;
        m_window->addLine("File too large for TFTP (65,535 blocks of 512 bytes or more): " + path);
        return -1;
    }
    m_window->setStatus("Initial Upgrade Information...");
    NMUDP1.RemotePort = tftp::kPort;
    NMUDP1.RemoteHost = address;
    m_sender.start(*length);
    NMUDP1.SendBuffer(tftp::writeRequest(remoteName));
    ++filesStarted;
    m_window->addLine("Begin to Send " + path + " to   " + address);
    return 1;
}

void TTFTPForm::SendTftpRequest(const std::string& address, std::string_view name, std::string_view mode)
{
    NMUDP1.RemotePort = tftp::kPort;
    NMUDP1.RemoteHost = address;
    auto request = tftp::readRequest(name, mode);
    if (request.size() > kRequestBytes) request.resize(kRequestBytes);
    NMUDP1.SendBuffer(request);
}

void TTFTPForm::NMUDP1DataReceived(int, const fw::Endpoint&)
{
    std::array<std::byte, tftp::kDatagramSize> received{};
    const std::size_t length = NMUDP1.ReadBuffer(received);
    const auto action = m_sender.onDatagram(std::span{received.data(), length});
    if (!action || !m_window) return;
    if (std::holds_alternative<tftp::PeerError>(*action)) {
        tftpState = 0;
        if (m_tftpFileOpen) *m_tftpFileOpen = 0;
        m_window->setPosition(0);
        closeSource();
        tftpState = kFailed;
        return;
    }
    *m_stopCounter = 0; // every acknowledged block is progress
    m_window->addLine("Recv : " + std::to_string(m_sender.lastAcknowledged()));
    if (std::holds_alternative<tftp::FileDone>(*action)) {
        TftpFileDone();
        return;
    }
    const auto block = std::get<tftp::SendBlock>(*action);
    const std::span<std::byte> data{m_sendBuffer.data() + 4, block.size};
    if (!m_source.readAt(block.offset, data)) {
        m_window->addLine("Read Error");
        tftpState = kFailed;
        return;
    }
    tftp::putDataHeader(std::span<std::byte, 4>{m_sendBuffer.data(), 4}, block.number);
    NMUDP1.RemotePort = tftp::kPort; // every block goes to port 69, whichever port answered
    NMUDP1.RemoteHost = m_address;
    NMUDP1.SendBuffer(std::span{m_sendBuffer.data(), 4 + block.size});
}

void TTFTPForm::NMUDP1DataSend()
{
    if (!m_window) return;
    m_window->addLine("Sent " + std::to_string(datagramsSent) + " ..");
    m_window->setStatus("Beginning Upgrade. Do Not Exit Until Upgrade Complete !");
    ++datagramsSent;
    m_window->setPosition(datagramsSent);
}
