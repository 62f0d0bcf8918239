#include "platform/testing/FakeFtpClient.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace fw {

void FakeFtpClient::begin(Op op, const std::string& remoteName, const std::string& localPath)
{
    operations.push_back({op, remoteName, localPath});
    if (onOperation) onOperation(operations.back());
    if (m_aborted && op != Op::Disconnect) throw FtpError("Transfer aborted");
}

void FakeFtpClient::status(const std::string& line)
{
    if (OnStatus) OnStatus(line);
}

void FakeFtpClient::refuse(const std::string& line)
{
    status(line);
    throw FtpError(line);
}

void FakeFtpClient::Connect()
{
    begin(Op::Connect);
    m_connected = false;
    const std::string url = "ftp://" + Host + ":" + std::to_string(Port) + "/";
    if (!reachable) {
        const std::string text = "Couldn't connect to server (Failed to connect to " + Host + " port " +
                                 std::to_string(Port) + ": Connection refused)";
        if (OnError) OnError(7, text);
        throw FtpError("Could not log in at " + url + " as " + UserID + ": " + text);
    }
    status("220 FTP server ready.");
    status("331 Username ok, send password.");
    if (Password != acceptedPassword) refuse("530 Login incorrect.");
    status("230 Login successful.");
    ++logins;
    m_connected = true;
    if (OnConnect) OnConnect();
}

void FakeFtpClient::Upload(const std::string& localPath, const std::string& remoteName)
{
    begin(Op::Upload, remoteName, localPath);
    if (!m_connected) throw FtpError("Not connected to an FTP server");
    std::ifstream in{localPath, std::ios::binary};
    if (!in) throw FtpError("Cannot open the local file " + localPath + ": No such file or directory");
    const std::string bytes{std::istreambuf_iterator<char>{in}, {}};
    if (refusedNames.count(remoteName)) refuse("550 " + remoteName + ": Permission denied.");
    status("150 File status okay. About to open data connection.");
    for (std::size_t sent = 0; sent < bytes.size(); sent += std::max<std::size_t>(packetSize, 1))
        if (OnPacketSent) OnPacketSent();
    stored.push_back({remoteName, bytes});
    remoteFiles[remoteName] = bytes;
    if (names429.count(remoteName)) {
        status("429 " + remoteName + ": Image refused by the device.");
        return;
    }
    status("226 Transfer complete.");
}

void FakeFtpClient::Download(const std::string& remoteName, const std::string& localPath)
{
    begin(Op::Download, remoteName, localPath);
    if (!m_connected) throw FtpError("Not connected to an FTP server");
    std::ofstream out{localPath, std::ios::binary | std::ios::trunc};
    if (!out) throw FtpError("Cannot open the local file " + localPath + ": Permission denied");
    const auto file = remoteFiles.find(remoteName);
    if (refusedNames.count(remoteName)) refuse("550 " + remoteName + ": Permission denied.");
    if (file == remoteFiles.end()) refuse("550 " + remoteName + ": No such file or directory.");
    status("150 File status okay. About to open data connection.");
    const std::string& bytes = file->second;
    const std::size_t step = std::max<std::size_t>(packetSize, 1);
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        const std::size_t n = std::min(step, bytes.size() - at);
        out.write(bytes.data() + at, static_cast<std::streamsize>(n));
        m_bytesRcvd = static_cast<long>(n);
        if (OnPacketRecvd) OnPacketRecvd();
    }
    status("226 Transfer complete.");
}

void FakeFtpClient::Disconnect()
{
    begin(Op::Disconnect);
    if (m_connected) status("221 Goodbye.");
    m_connected = false;
}

void FakeFtpClient::Abort()
{
    operations.push_back({Op::Abort, {}, {}}); // no hook: a hook may well be what aborts
    m_aborted = true;
    m_connected = false;
}

} // namespace fw
