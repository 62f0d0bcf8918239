// The device data download over FTP: one RETR of the name that encodes the stretch wanted, into a
// file of its own beside the target that takes the target's name once the server confirmed it all.
#include "ftp/Ftpunit.h"
#include "platform/ReplacingFile.h"

int TmyFTPForm::GetRomDataByFtp(fw::WindowOps& window, const std::string& address,
                                const std::string& password, const std::string& remoteName,
                                const std::string& localPath)
{
    m_window = &window;
    NMFTP1.ReportLevel = 2;
    NMFTP1.Host = address;
    NMFTP1.Port = 21;
    NMFTP1.UserID = "root";
    NMFTP1.Password = password;
    m_window->setMaximum(300);
    m_window->setPosition(0);
    try {
        NMFTP1.Connect();
        if (!NMFTP1.Connected()) return failAfterConnect("FTP connect failure in get Rom File !", -1);
        try {
            std::string reason;
            std::optional<fw::ReplacingFile> file = fw::ReplacingFile::begin(localPath, reason);
            if (!file) return failAfterConnect("Cannot write beside " + localPath + ": " + reason, -1);
            NMFTP1.Download(remoteName, file->path());
            if (!file->commit(reason))
                return failAfterConnect("Cannot save " + localPath + ": " + reason, -1);
            NMFTP1.Disconnect();
            m_window->addLine("Data=" + remoteName);
            m_window->addLine("Save data to :" + localPath);
            return 1;
        } catch (const fw::FtpError& error) {
            const std::string code = replyCodeOf(error.what());
            if (code == "550") {
                NMFTP1.Disconnect();
                m_window->setStatus("Get Rom File command error.");
                m_window->addLine("Get Rom File Error");
                resultText = "Get Rom File Error";
                return -1;
            }
            m_window->addLine("Unknow error in FTP mode.");
            // Without a reply code the device never answered the request: HTTP may still work.
            return failAfterConnect(code.empty() ? std::string{error.what()} : code, code.empty() ? -1 : -3);
        }
    } catch (const fw::FtpError& error) {
        if (replyCodeOf(error.what()) == "530") {
            NMFTP1.Disconnect();
            m_window->addLine("Get Rom File Password Error");
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
        NMFTP1.Disconnect();
        m_window->addLine("Unknow error3 in FTP mode.(NO Connect)");
        resultText = "Unknow exception with NO Connect ";
        return -1;
    }
}
