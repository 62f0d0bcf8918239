// The device data download over HTTP: one GET of "/config.bin" with the offset and length as query
// values, the reply's body saved to a file of its own beside the target that takes the target's
// name only when the whole body came.
#include "platform/ReplacingFile.h"
#include "web/Httptool.h"

std::string SendHTTP::romDataRequest(const std::string& offsetText, const std::string& lengthText)
{
    return "GET /config.bin?O=" + offsetText + "&L=" + lengthText + " HTTP/1.1\r\n\r\n";
}

int SendHTTP::GetRomData(fw::WindowOps& window, const std::string& address, std::uint16_t port,
                         const std::string& fileName, int length, const std::string& offsetText,
                         const std::string& lengthText)
{
    m_window = &window;
    logView = &window;
    statusLine = &window;
    progressBar = &window;
    if (offsetText.size() + lengthText.size() > kMaxRomDataTexts)
        return fail("The offset and length texts take more than " + std::to_string(kMaxRomDataTexts) +
                        " characters together: " + offsetText + ", " + lengthText,
                    true);
    const std::string request = romDataRequest(offsetText, lengthText);

    if (pkt->Open() < 0) return fail(pkt->errorText, true);
    if (pkt->Connect(address, port) < 0) {
        logView->addLine(pkt->errorText);
        statusLine->setStatus("Connect to router failure");
        resultText = pkt->errorText;
        return -1;
    }
    statusLine->setStatus("Connecting to router");
    progressBar->setMaximum(length);
    progressBar->setPosition(0);
    logView->addLine("Prepare to send get command: \n");
    logView->addLine(request);
    if (pkt->Send(request.data(), static_cast<int>(request.size()), nullptr) < 0)
        return fail(pkt->errorText, true);

    std::string reason;
    std::optional<fw::ReplacingFile> file = fw::ReplacingFile::begin(fileName, reason);
    if (!file) return fail("ROM file create error: " + fileName + ": " + reason, true);
    std::string from;
    std::uint16_t fromPort = 0;
    if (ReceiveFile(file->path(), from, fromPort) < 0) return fail(pkt->errorText, true);
    // A body shorter (or longer) than the header said is a download cut off: nothing is kept.
    const std::int64_t expected = pkt->lastContentLength();
    if (expected >= 0 && pkt->lastBodyLength() != expected)
        return fail("The device sent " + std::to_string(pkt->lastBodyLength()) + " of " +
                        std::to_string(expected) + " bytes; " + fileName + " is left as it was",
                    true);
    if (!file->commit(reason)) return fail("ROM file save error: " + fileName + ": " + reason, true);
    logView->addLine("Get ROM file success in file : " + fileName);
    resultText = "Get ROM file success";
    return 1;
}
