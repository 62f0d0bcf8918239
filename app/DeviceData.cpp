// The device data download of a "get" start: a stretch of the device's stored data into a local
// file, over FTP first and over HTTP when FTP fails for another reason than the password.
#include "app/Mainunit.h"

#include "app/NumberText.h"
#include "discovery/Refresh.h"
#include "ftp/Ftpunit.h"
#include "platform/ReplacingFile.h"
#include "web/Httptool.h"
#include "web/PasswordCheck.h"

#include <exception>
#include <memory>

void TUpgradeForm1::DownloadRun()
{
    StopTimer->stop();
    m_view.setEnabled(MainControl::Upgrade, false);
    settings.getPending = 0;
    m_lastRun = RunOutcome::Failed; // until the data is saved
    if (settings.record.flags & 0x20) {
        ArrangeLayout(6);
        logShown = 1;
        listDetail = 222;
    }
    const std::string address = AddressOf(m_view.text(MainControl::IPComBox));
    const std::string password = m_view.text(MainControl::PasswordComBox);
    using namespace GetParameters;
    const std::string localFile = fieldText(settings.record.initFile + kFileName, kFileNameWidth);
    const NumberText offset = readNumberText(fieldText(settings.record.initFile + kOffset, kOffsetWidth));
    const NumberText length = readNumberText(fieldText(settings.record.initFile + kLength, kLengthWidth));

    // Nothing is fetched for a file that could not be saved.
    if (const std::string problem = fw::downloadTargetProblem(localFile); !problem.empty()) {
        m_view.addLine("Cannot save device data to " + localFile + ": " + problem);
        return;
    }
    if (!RefreshForm || RefreshForm->Ping(address) == 0) {
        m_view.addLine("Unconnect to router : " + address);
        m_view.messageBox("Unconnect to router", "Router connection failure", fw::BoxButtons::Ok);
        return;
    }
    const std::string remoteName = std::to_string(offset.value) + "#" + std::to_string(length.value);
    m_view.addLine("Try FTP Get Method first...");
    const int rc = FTPForm ? FTPForm->GetRomDataByFtp(m_view, address, password, remoteName, localFile) : -1;
    const std::string ftpText = FTPForm ? FTPForm->resultText : std::string{"FTP is not available here."};
    switch (rc) {
    case 1:
        m_lastRun = RunOutcome::Succeeded;
        m_view.addLine("Get ROM data success");
        if (logShown == 0) m_view.closeWindow();
        return;
    case -3:
        m_view.addLine(ftpText);
        if (logShown == 0) m_view.closeWindow();
        return;
    case -2:
        m_view.messageBox("Password error. Please check again.", "Failure", fw::BoxButtons::Ok);
        m_view.messageBox("Pass: " + password, "(FTP) pass Error", fw::BoxButtons::OkCancel);
        m_view.closeWindow();
        return;
    default:
        break;
    }
    m_view.addLine(ftpText);
    m_view.addLine("Try to use HTTP Get method.");
    try {
        loginResult = CheckPassword(password, address);
        if (loginResult < 0) {
            PasswordBoxes(loginResult, "Receive response error 7");
            return;
        }
        auto http = std::make_unique<SendHTTP>();
        http->setDialogs(&m_view);
        const int got =
            http->GetRomData(m_view, address, 80, localFile, length.value, offset.passedOn, length.passedOn);
        if (got < 0) {
            m_view.messageBox("HTTP Get ROM Error", "Failure", fw::BoxButtons::Ok);
            m_view.addLine(ftpText);
        } else {
            m_lastRun = RunOutcome::Succeeded;
        }
    } catch (const std::exception&) {
    }
    m_view.closeWindow();
}
