#pragma once
// An FTP client in memory for logic tests: the test scripts the server (the password it takes, the
// names it refuses or answers with 429, whether it can be reached at all) and reads back every
// operation and the bytes each upload stored. Replies reach OnStatus as a real server's would.
#include "platform/FtpClient.h"

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fw {

class FakeFtpClient final : public FtpClient {
public:
    enum class Op { Connect, Upload, Download, Disconnect, Abort };
    struct Operation {
        Op op;
        std::string remoteName; // Upload and Download
        std::string localPath;  // Upload and Download
    };
    struct StoredFile {
        std::string remoteName;
        std::string bytes; // as read from the local file when Upload ran
    };

    void Connect() override;
    void Upload(const std::string& localPath, const std::string& remoteName) override;
    void Download(const std::string& remoteName, const std::string& localPath) override;
    void Disconnect() override;
    bool Connected() const override { return m_connected; }
    long GetBytesRcvd() const override { return m_bytesRcvd; }
    void Abort() override;

    // The server.
    std::string acceptedPassword;       // any other Password: Connect throws "530 Login incorrect."
    bool reachable = true;              // false: Connect fails as when nothing listens
    std::set<std::string> refusedNames; // Upload and Download of these throw "550 ..."
    std::set<std::string> names429;     // Upload of these ends with a 429 reply and returns
    std::map<std::string, std::string> remoteFiles; // what Download serves; every upload lands here
    std::size_t packetSize = 4096;                  // bytes of each OnPacketSent and OnPacketRecvd
    // Called at the start of every operation but Abort, once it is recorded: a test runs the loop or
    // aborts here.
    std::function<void(const Operation&)> onOperation;

    // What was done.
    std::vector<Operation> operations;
    std::vector<StoredFile> stored; // uploads the server took in full, 429 ones included
    int logins = 0;                 // successful logins

private:
    void begin(Op op, const std::string& remoteName = {}, const std::string& localPath = {});
    void status(const std::string& line);
    [[noreturn]] void refuse(const std::string& line);

    bool m_connected = false;
    bool m_aborted = false;
    long m_bytesRcvd = 0;
};

} // namespace fw
