#include "ftp/Ftpunit.h"

#include "platform/File.h"

#include <string_view>

std::string replyCodeOf(const std::string& message)
{
    if (message.size() < 3) return {};
    for (int i = 0; i < 3; ++i)
        if (message[i] < '0' || message[i] > '9') return {};
    return message.substr(0, 3);
}

std::string remoteNameOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of("/\\");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.size() >= 4 && name.ends_with(".tmp")) name.resize(name.size() - 4);
    return name;
}

TmyFTPForm::TmyFTPForm(fw::FtpClient& client, FileWalk::ShowMessage showMessage)
    : NMFTP1{client}, m_showMessage{std::move(showMessage)}
{
    NMFTP1.Port = 21;
    NMFTP1.TimeOut = 1000;
    NMFTP1.ReportLevel = 8;
    NMFTP1.Passive = false;
    NMFTP1.OnConnect = [this] { NMFTP1Connect(); };
    NMFTP1.OnStatus = [this](const std::string& text) { NMFTP1Status(text); };
    NMFTP1.OnPacketSent = [this] { NMFTP1PacketSent(); };
    NMFTP1.OnPacketRecvd = [this] { NMFTP1PacketRecvd(); };
    NMFTP1.OnError = [this](int number, const std::string& text) { NMFTP1Error(number, text); };
}

void TmyFTPForm::advance(std::int64_t bytes)
{
    m_window->setPosition(m_window->position() + static_cast<int>(bytes));
}

int TmyFTPForm::NextFtpFile(int start)
{
    FileWalk walk{WalkMethod::Ftp, *m_files, *m_window, *m_window, m_showMessage};
    m_walk.moduleMatched = moduleMatched;
    m_walk.sectionLetters = sectionLetters;
    m_walk.currentIndex = static_cast<std::int16_t>(start); // the caller's index, incremented
    const int next = walk.next(start, true, m_module, m_walk);
    moduleMatched = m_walk.moduleMatched;
    sectionLetters = m_walk.sectionLetters;
    return next;
}

std::int64_t TmyFTPForm::FtpUpgradeLength()
{
    FileWalk walk{WalkMethod::Ftp, *m_files, *m_window, *m_window, m_showMessage};
    WalkProgress progress;
    return walk.length(m_module, progress);
}

// Every way out after the login closes the connection.
int TmyFTPForm::failAfterConnect(const std::string& text, int result)
{
    resultText = text;
    NMFTP1.Disconnect();
    return result;
}

int TmyFTPForm::RunFtpUpgrade(std::atomic<std::uint16_t>& stopCounter, fw::WindowOps& window,
                              const EmbedFileRows& files, const std::string& address,
                              const std::string& module, const std::string& password)
{
    uploadCount = 0;
    sectionLetters.clear();
    m_stopCounter = &stopCounter;
    m_window = &window;
    m_files = &files;
    m_address = address;
    m_module = module;
    NMFTP1.ReportLevel = 2;
    NMFTP1.Host = address;
    NMFTP1.Port = 21;
    NMFTP1.UserID = "root";
    NMFTP1.Password = password;

    totalLength = FtpUpgradeLength();
    if (totalLength < 0) {
        m_window->addLine("Get total upgrade fle length error");
        resultText = "Get total upgrade fle length error";
        return -1;
    }
    m_window->setMaximum(static_cast<int>(totalLength));
    m_window->setPosition(0);
    moduleMatched = false;
    fileIndex = -1;
    try {
        NMFTP1.Connect();
        advance(totalLength / 32);
        for (;;) {
            if (fileIndex == kRefusedByDevice) {
                NMFTP1.Disconnect();
                return -1;
            }
            const int next = NextFtpFile(fileIndex + 1);
            fileIndex = static_cast<std::int16_t>(next);
            if (next == kWalkNothingFurther) {
                resultText = "Upgrade Successfully !";
                NMFTP1.Disconnect();
                m_window->addLine("Total upgrade file count in FTP mode: " + std::to_string(uploadCount));
                m_window->setStatus("Upgrade Successfully");
                return 1;
            }
            if (next == kWalkNothingAtAll) {
                resultText = "FTP upgrade Failure !";
                m_window->addLine("Get error file index in FTP mode");
                NMFTP1.Disconnect();
                return -1;
            }
            // A message file that cannot be opened ends the run; the walk is never started again.
            if (next < 0) return failAfterConnect("Open upgrade file error !", -1);
            if (!NMFTP1.Connected()) return failAfterConnect("FTP connect failure in upgrading !", -1);
            try {
                const std::string& path = m_files->paths[next];
                const std::string remote = remoteNameOf(path);
                *m_stopCounter = 0;
                const auto size = fw::File::openRead(path).size();
                if (!size) return failAfterConnect("Upgrade File Error", -4);
                NMFTP1.Upload(path, remote);
                advance(*size);
                ++uploadCount;
            } catch (const fw::FtpError& error) {
                const std::string message = error.what();
                if (replyCodeOf(message) == "550") {
                    NMFTP1.Disconnect();
                    m_window->setStatus("Please ReSelect Upgrade File Again.");
                    m_window->addLine("Upgrade File Error");
                    resultText = "Upgrade File Error";
                    return -4;
                }
                m_window->addLine("Unknow error1 in FTP mode:" + message);
                return failAfterConnect("Unknow exception :" + message, -1);
            }
        }
    } catch (const fw::FtpError& error) {
        const std::string message = error.what();
        if (replyCodeOf(message) == "530") {
            NMFTP1.Disconnect();
            m_window->addLine("Password Error");
            resultText = "Incorrect password. Please check and input again!";
            m_window->setStatus(resultText);
            return -2;
        }
        if (NMFTP1.Connected()) {
            NMFTP1.Disconnect();
            m_window->setStatus("Unknow exception terminate.");
            m_window->addLine("Unknow exception in FTP mode while connected");
            resultText = "Unknow exception";
            return -1;
        }
        NMFTP1.Disconnect(); // whatever the failed login left open
        m_window->addLine("Unknow error2 in FTP mode." + message);
        resultText = "Unknow exception2" + message;
        return -1;
    }
}

void TmyFTPForm::NMFTP1Connect()
{
    if (m_window) m_window->setStatus("Connecting to device");
}

void TmyFTPForm::NMFTP1Status(const std::string& text)
{
    if (!text.starts_with("429")) return;
    fileIndex = kRefusedByDevice;
    resultText = "Incorrect upgrade file. Please check again!";
    if (m_window) m_window->addLine("Upgrade file error");
}

void TmyFTPForm::NMFTP1PacketSent()
{
    if (m_window) m_window->setStatus("Upgrading! Do NOT exit or power off the device.");
}

void TmyFTPForm::NMFTP1PacketRecvd()
{
    if (m_window) advance(NMFTP1.GetBytesRcvd());
}

void TmyFTPForm::NMFTP1Error(int number, const std::string& text)
{
    if (m_window) m_window->addLine("Error " + std::to_string(number) + ": " + text);
}
