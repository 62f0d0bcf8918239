#pragma once
// TmyFTPForm: the holder of the FTP client component. The FTP upgrade logs in as "root" with the
// device password and stores every image the walk admits for FTP in the login directory, one after
// another, under its name in the bundle; message files met on the way are shown. It runs to its end
// inside the caller, while the component keeps the window's events going.
#include "bundle/EmbedFileList.h"
#include "bundle/FileWalk.h"
#include "platform/FtpClient.h"
#include "platform/WindowOps.h"

#include <atomic>
#include <cstdint>
#include <string>

class TmyFTPForm {
public:
    // fileIndex beside a row: the server answered an upload with 429.
    static constexpr std::int16_t kRefusedByDevice = 1003;

    TmyFTPForm(fw::FtpClient& client, FileWalk::ShowMessage showMessage);

    void FormActivate() { uploadCount = 0; }

    // 1 every image stored; -1 failed (the driver goes on with HTTP); -2 login refused; -4 a file refused.
    int RunFtpUpgrade(std::atomic<std::uint16_t>& stopCounter, fw::WindowOps& window,
                      const EmbedFileRows& files, const std::string& address, const std::string& module,
                      const std::string& password);
    // The device data download: remoteName ("offset#length") into localPath, which only a complete
    // download replaces. 1 saved; -1 failed (the caller tries HTTP); -2 login refused; -3 another reply.
    int GetRomDataByFtp(fw::WindowOps& window, const std::string& address, const std::string& password,
                        const std::string& remoteName, const std::string& localPath);
    int NextFtpFile(int start);
    std::int64_t FtpUpgradeLength();
    // The watchdog's end: the running transfer gives up at once.
    void Abort() { NMFTP1.Abort(); }

    void NMFTP1Connect();
    void NMFTP1Status(const std::string& text);
    void NMFTP1PacketSent();
    void NMFTP1PacketRecvd();
    void NMFTP1Error(int number, const std::string& text);
    void NMFTP1Failure() {}

    fw::FtpClient& NMFTP1;
    std::string resultText;
    std::int32_t uploadCount = 0;
    std::string sectionLetters;
    std::int16_t fileIndex = -1;
    bool moduleMatched = false;
    std::int64_t totalLength = 0;

private:
    int failAfterConnect(const std::string& text, int result);
    void advance(std::int64_t bytes);

    FileWalk::ShowMessage m_showMessage;
    fw::WindowOps* m_window = nullptr;
    const EmbedFileRows* m_files = nullptr;
    std::atomic<std::uint16_t>* m_stopCounter = nullptr;
    std::string m_address;
    std::string m_module;
    WalkProgress m_walk;
};

// The server's three-digit reply code at the start of an error text, or empty.
std::string replyCodeOf(const std::string& message);

// The name a file is stored under: the last part of its path, a final ".tmp" (exactly so) removed.
std::string remoteNameOf(const std::string& path);
