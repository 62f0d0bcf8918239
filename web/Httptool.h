#pragma once
// SendHTTP: one exchange or one whole run with a device's web server on top of SendPKT. Its core
// sends a request and reads the reply; the upgrade sends every chosen image in one multipart POST to
// "/upg" and reads the device's verdict.
#include "bundle/EmbedFileList.h"
#include "bundle/FileWalk.h"
#include "platform/TcpSocket.h"
#include "platform/WindowOps.h"
#include "web/Nettool.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class SendHTTP {
public:
    // The boundary of the multipart upload and its end marker.
    static constexpr const char* kBoundary = "-----------------123456789";
    static constexpr const char* kEndMarker = "\r\n----\r\n";
    static constexpr int kEndMarkerLength = 8;
    // The verdict is read into a buffer of this size, so it holds at most kVerdictBuffer - 2 bytes.
    static constexpr int kVerdictBuffer = 1465;

    SendHTTP();
    ~SendHTTP();
    SendHTTP(const SendHTTP&) = delete;
    SendHTTP& operator=(const SendHTTP&) = delete;

    // Core exchange: 1 sent, or -1 with resultText.
    int SendRequest(const char* request, std::uint16_t length, const std::string& address,
                    std::uint16_t port);
    // The reply's length, or -1 with resultText; the out values get the source of the reply.
    std::int32_t ReceiveReply(char* buffer, int bufferSize, std::string& address, std::uint16_t& port);
    std::int32_t ReceiveFile(const std::string& fileName, std::string& address, std::uint16_t& port);

    // The upgrade run: 1 success, -1 failure; resultText, sectionLetters and uploadCount tell the outcome.
    int HttpUpgrade(std::atomic<std::uint16_t>& stopCounter, fw::WindowOps& window,
                    const EmbedFileRows& files, const std::string& address, std::uint16_t port,
                    const std::string& module);
    // The sum of the sizes of the images the walk will send, or -1 with resultText.
    std::int64_t HttpUpgradeLength();
    // The row of the next image from start on, 1001 none left, 1002 none at all, -1 unreadable message.
    int NextHttpFile(int start, bool logSwitch);
    // The request header followed by the part header, for images of total bytes; returns its length.
    int BuildUploadHeader(std::string& out, std::int64_t total);
    // The device's verdict on the upload: 1 or -1.
    int CheckUpgradeResult();

    // The device data download: bytes of the device's stored data into fileName, which only a complete
    // download replaces. 1, or -1 with resultText.
    int GetRomData(fw::WindowOps& window, const std::string& address, std::uint16_t port,
                   const std::string& fileName, int length, const std::string& offsetText,
                   const std::string& lengthText);
    // Its request; the offset and length texts together take at most kMaxRomDataTexts characters.
    static std::string romDataRequest(const std::string& offsetText, const std::string& lengthText);
    static constexpr std::size_t kMaxRomDataTexts = 29;

    // How message files met by the walk are shown; the walk's "File Error" box goes to the window.
    void setMessageShow(FileWalk::ShowMessage show) { m_show = std::move(show); }
    // Where the "File Error" box of a bad request goes.
    void setDialogs(fw::Dialogs* dialogs) { pkt->setDialogs(dialogs); }
    // Every socket wait gives up once this flag is set.
    void setStopFlag(const fw::StopFlag* stop);

    const EmbedFileRows* fileList = nullptr;
    fw::Log* logView = nullptr;
    fw::StatusLine* statusLine = nullptr;
    fw::ProgressBar* progressBar = nullptr;
    bool moduleMatched = false;
    std::int16_t fileIndex = -1;
    std::string host;
    std::string moduleName;
    std::int64_t totalLength = 0;
    std::atomic<std::uint16_t>* stopCounter = nullptr;
    std::unique_ptr<SendPKT> pkt;
    std::string resultText;
    std::int32_t uploadCount = 0;
    std::string sectionLetters;

private:
    FileWalk walk();
    int fail(const std::string& text, bool log);

    fw::WindowOps* m_window = nullptr;
    FileWalk::ShowMessage m_show;
    WalkProgress m_walk;
};
