#include "web/Httptool.h"

#include "platform/File.h"
#include "web/ReplyScan.h"

#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr std::uint16_t kUnusedCounter = 0;

struct Verdict {
    const char* status; // searched in the reply
    const char* log;
};

// The plain statuses of an older device's reply without a result tag, in the order they are tested.
constexpr Verdict kPlainFailures[] = {
    {" 301 ", "Unexpect remove port request"},
    {" 400 ", "Unexpect Bad request"},
    {" 404 ", "Unexpect NO CGI Found"},
    {" 401 ", "Peer ask for authenticate 2"},
    {" 501 ", "Unexpect NOT support HTTP Upgrade"},
    {" 503 ", "Unexpect upgrade Not Complete error"},
};

} // namespace

SendHTTP::SendHTTP() : pkt{std::make_unique<SendPKT>()} {}

SendHTTP::~SendHTTP() = default;

void SendHTTP::setStopFlag(const fw::StopFlag* stop)
{
    pkt->setStopFlag(stop);
}

int SendHTTP::SendRequest(const char* request, std::uint16_t length, const std::string& address,
                          std::uint16_t port)
{
    if (pkt->Open() < 0 || pkt->Connect(address, port) < 0 || pkt->Send(request, length, nullptr) < 0) {
        resultText = pkt->errorText;
        return -1;
    }
    return 1;
}

std::int32_t SendHTTP::ReceiveReply(char* buffer, int bufferSize, std::string& address, std::uint16_t& port)
{
    const Peer_sock_info info = pkt->ReceiveToBuffer(buffer, bufferSize);
    if (info.length < 0) {
        resultText = pkt->errorText;
        return -1;
    }
    address = info.peerAddress;
    port = info.peerPort;
    return info.length;
}

std::int32_t SendHTTP::ReceiveFile(const std::string& fileName, std::string& address, std::uint16_t& port)
{
    const Peer_sock_info info = pkt->ReceiveToFile(fileName, progressBar);
    if (info.length < 0) {
        resultText = pkt->errorText;
        return -1;
    }
    address = info.peerAddress;
    port = info.peerPort;
    return info.length;
}

FileWalk SendHTTP::walk()
{
    return FileWalk{WalkMethod::Http, *fileList, *m_window, *m_window, m_show};
}

int SendHTTP::fail(const std::string& text, bool log)
{
    if (log) logView->addLine(text);
    resultText = text;
    return -1;
}

std::int64_t SendHTTP::HttpUpgradeLength()
{
    FileWalk files = walk();
    WalkProgress progress;
    const std::int64_t total = files.length(moduleName, progress);
    moduleMatched = false;
    if (total < 0) resultText = files.resultText();
    return total;
}

int SendHTTP::NextHttpFile(int start, bool logSwitch)
{
    FileWalk files = walk();
    m_walk.moduleMatched = moduleMatched;
    m_walk.sectionLetters = sectionLetters;
    m_walk.currentIndex = static_cast<std::int16_t>(start); // the caller's index, incremented
    if (!logSwitch) return files.lookAhead(start, moduleName, m_walk);
    const int next = files.next(start, true, moduleName, m_walk);
    moduleMatched = m_walk.moduleMatched;
    sectionLetters = m_walk.sectionLetters;
    return next;
}

int SendHTTP::BuildUploadHeader(std::string& out, std::int64_t total)
{
    const std::string part = std::string{kBoundary} + "\r\n" +
                             "Content-Disposition: from-data; name=\"FN\"; filename=\"upgrade.bin\" \r\n" +
                             "Content-Type: application/octet-stream \r\n" + "\r\n";
    out = "POST /upg HTTP/1.0\r\nUser-Agent: Tesmora_Agent\r\nConnection: Keep-Alive\r\n"
          "Content-Type: multipart/form-data: boundary=" +
          std::string{kBoundary} + "\r\nContent-Length: " +
          std::to_string(total + static_cast<std::int64_t>(part.size()) + kEndMarkerLength) + "\r\n\r\n" +
          part;
    return static_cast<int>(out.size());
}

int SendHTTP::HttpUpgrade(std::atomic<std::uint16_t>& counter, fw::WindowOps& window,
                          const EmbedFileRows& files, const std::string& address, std::uint16_t port,
                          const std::string& module)
{
    uploadCount = 0;
    sectionLetters.clear();
    stopCounter = &counter;
    m_window = &window;
    logView = &window;
    statusLine = &window;
    progressBar = &window;
    fileList = &files;
    host = address;
    moduleName = module;

    if (pkt->Open() < 0) return fail(pkt->errorText, true);
    if (pkt->Connect(host, port) < 0) {
        logView->addLine(pkt->errorText);
        statusLine->setStatus("Connect to router failure");
        resultText = pkt->errorText;
        return -1;
    }
    statusLine->setStatus("Connecting to router");
    totalLength = HttpUpgradeLength();
    if (totalLength < 0) return fail(resultText, true);
    // Content-Length and every send count in 32 bits.
    if (totalLength > std::numeric_limits<std::int32_t>::max() - 1024)
        return fail("Upgrade files are too large for one HTTP upload : " + std::to_string(totalLength), true);
    progressBar->setMaximum(static_cast<int>(totalLength));
    progressBar->setPosition(0);

    std::string header;
    const int headerLength = BuildUploadHeader(header, totalLength);
    if (pkt->Send(header.data(), headerLength, progressBar) < 0) return fail(pkt->errorText, true);

    statusLine->setStatus("Upgrading! Do NOT exit or power off the device.");
    moduleMatched = false;
    fileIndex = -1;
    for (;;) {
        const int next = NextHttpFile(fileIndex + 1, true);
        fileIndex = static_cast<std::int16_t>(next);
        if (next == kWalkNothingFurther) {
            logView->addLine("Total upgrade file count in HTTP mode: " + std::to_string(uploadCount));
            break;
        }
        if (next == kWalkNothingAtAll) return fail("HTTP upgrade Failure !", false);
        if (next < 0) return fail("Open upgrade file error !", false);

        // The image and, after the last one, the end marker, in one buffer handed to one send.
        const fw::File file = fw::File::openRead(fileList->paths[next]);
        const auto size = file ? file.size() : std::nullopt;
        if (!size || *size > std::numeric_limits<std::int32_t>::max() - kEndMarkerLength - 1)
            return fail("Upgrade File Length Error.", true);
        const auto length = static_cast<std::size_t>(*size);
        const auto buffer = std::make_unique_for_overwrite<std::byte[]>(length + kEndMarkerLength + 1);
        if (!file.readAt(0, {buffer.get(), length})) return fail("Upgrade File Length Error.", true);
        std::size_t sendLength = length;
        if (NextHttpFile(fileIndex + 1, false) == kWalkNothingFurther) {
            std::memcpy(buffer.get() + length, kEndMarker, kEndMarkerLength);
            sendLength += kEndMarkerLength;
            logView->addLine("Send end char");
        }
        const int sent = pkt->Send(buffer.get(), static_cast<int>(sendLength), progressBar);
        if (sent < 0) {
            logView->addLine("Error :" + pkt->errorText);
            resultText = pkt->errorText;
            return -1;
        }
        *stopCounter = kUnusedCounter; // progress: the watchdog starts counting again
        ++uploadCount;
        logView->addLine("Send Bin File Length : " + std::to_string(sent));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return CheckUpgradeResult();
}

int SendHTTP::CheckUpgradeResult()
{
    std::vector<char> reply(kVerdictBuffer, '\0');
    std::string address;
    std::uint16_t port = 0;
    if (ReceiveReply(reply.data(), kVerdictBuffer, address, port) < 0) {
        logView->addLine("receive response error 8");
        resultText = "receive response error in upgrade 9";
        statusLine->setStatus("Upgrade Failure");
        return -1;
    }
    const std::string_view text{reply.data(), ::strnlen(reply.data(), reply.size())};
    if (const std::optional<std::string> code = resultTagCode(text)) {
        if (*code == "8000") {
            logView->addLine("Upgrade success in New version");
            resultText = "Upgrade Successfully";
            statusLine->setStatus("Upgrade Success");
            return 1;
        }
        if (*code == "8001") {
            logView->addLine("Upgrade failure in New version");
            resultText = "Upgrade failure";
            statusLine->setStatus("Upgrade failure");
        } else if (*code == "8002") {
            logView->addLine("Unallowable upgrade file");
            resultText = "Unallowable upgrade file";
            statusLine->setStatus("Unallowable upgrade file");
        } else {
            logView->addLine("unknow error code : " + *code);
            resultText = "unknow error code " + *code;
            statusLine->setStatus("Upgrade failure");
        }
        return -1;
    }
    if (text.find(" 200 OK") != std::string_view::npos) {
        if (text.find("alert") != std::string_view::npos) {
            logView->addLine("Upgrade failure with no CAS tag");
            resultText = alertText(text);
            statusLine->setStatus("Upgrade Failure");
            return -1;
        }
        logView->addLine("Upgrade Complete in with no CAS tag");
        resultText = "Upgrade Successfully";
        statusLine->setStatus("Upgrade Success");
        return 1;
    }
    resultText = "Unexpect receive data";
    for (const Verdict& row : kPlainFailures) {
        if (text.find(row.status) == std::string_view::npos) continue;
        if (std::strcmp(row.status, " 400 ") == 0)
            m_window->messageBox("error 00", "File Error", fw::BoxButtons::OkCancel);
        logView->addLine(row.log);
        return -1;
    }
    logView->addLine("Unknow Error in check upgrade result");
    return -1;
}
