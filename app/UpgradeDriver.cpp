// The Upgrade button: the device must be known and answer; then the method its state and the
// settings call for runs. TFTP runs on its own events; the watchdog finishes it.
#include "app/Mainunit.h"

#include "app/HttpThread.h"
#include "discovery/Refresh.h"
#include "ftp/Ftpunit.h"
#include "messages/HintForm.h"
#include "tftp/Tftpunit.h"
#include "web/PasswordCheck.h"

#include <cstring>
#include <exception>

namespace {

constexpr std::uint16_t kTftp = 1, kHttp = 2, kFtp = 3, kHttpAfterFtp = 133;

} // namespace

void TUpgradeForm1::UpgradeClick()
{
    tryBasicAuth = 0;
    copyToField(userID, sizeof userID, m_view.text(MainControl::UserIDComBox));
    selectedIP = AddressOf(m_view.text(MainControl::IPComBox));
    if (FindDevice(selectedIP, selectedModule, selectedState) < 0) {
        m_view.addLine("Read Select Router Infomation Error");
        m_view.messageBox("Please press \"ENTER\" to check router information in select box",
                          "Router information not found", fw::BoxButtons::Ok);
        m_view.setEnabled(MainControl::Upgrade, false);
        return;
    }
    if (!RefreshForm || RefreshForm->Ping(selectedIP) == 0) {
        m_view.addLine("Unconnect to router : " + selectedIP);
        m_view.messageBox("Unconnect to router", "Router connection failure", fw::BoxButtons::Ok);
        m_view.setEnabled(MainControl::Upgrade, false);
        m_lastRun = RunOutcome::Failed;
        return;
    }
    m_view.setMaximum(0);
    m_view.setPosition(0);
    if (fileList.count == 0) {
        m_view.messageBox("Please select the upgrade file", "upgrade file not found", fw::BoxButtons::Ok);
        return;
    }
    m_view.setEnabled(MainControl::Upgrade, false);
    // The settings' order replaces the device's method, except for a device that needs recovery.
    if (orderPreset && upgradeMethod != kTftp) {
        switch (settings.record.methodOrder) {
        case 1:
            upgradeMethod = kHttp;
            break;
        case 2:
            upgradeMethod = kFtp;
            break;
        case 3:
            upgradeMethod = kTftp;
            break;
        default:
            break;
        }
    }
    MethodPass();
}

void TUpgradeForm1::MethodPass()
{
    m_lastRun = RunOutcome::None;
    stopCounter = 0;
    StopTimer->start();
    bool exitStep = true;
    switch (upgradeMethod) {
    case kTftp:
        exitStep = TftpStep();
        break;
    case kHttp:
    case kHttpAfterFtp:
        exitStep = HttpStep();
        break;
    case kFtp:
        exitStep = FtpStep();
        break;
    case 0:
        StopTimer->stop();
        m_view.messageBox("Could not detect upgrade method !", std::nullopt, fw::BoxButtons::Ok);
        m_view.addLine("Could not detect upgrade method to " + selectedIP);
        m_lastRun = RunOutcome::Failed;
        break;
    default:
        break;
    }
    if (exitStep) AutomaticExit();
}

void TUpgradeForm1::AutomaticExit()
{
    if (filesPreset == 1 && logShown == 0 && upgradeState != UpgradeState::TftpRunning &&
        upgradeState != UpgradeState::HttpRunning && factoryRelease == 0)
        ExitClick();
}

bool TUpgradeForm1::FilesAtHand()
{
    if (filesPreset == 0 && m_view.text(MainControl::UpdateFileName).empty()) {
        m_view.messageBox("Upgrade file Not select, please select a upgrade file !", "Upgrade Warning",
                          fw::BoxButtons::Ok);
        return false;
    }
    return true;
}

bool TUpgradeForm1::TftpStep()
{
    if (!FilesAtHand()) return true; // StopTimer runs on: the watchdog counts until a new Upgrade
    upgradeState = UpgradeState::TftpRunning;
    m_view.addLine("Unsing TFTP upgrade mode to : " + selectedIP);
    if (TFTPForm)
        TFTPForm->RunTftpUpgrade(stopCounter, upgradeState, m_view, fileList, selectedIP, selectedModule,
                                 tftpFileOpen);
    return true;
}

bool TUpgradeForm1::HttpStep()
{
    StopTimer->stop();
    const std::string password = m_view.text(MainControl::PasswordComBox);
    try {
        loginResult = CheckPassword(password, selectedIP);
        if (loginResult < 0) {
            upgradeState = UpgradeState::HttpFailed;
            m_lastRun = RunOutcome::Failed;
            if (upgradeMethod == kHttp && PasswordRefused()) return false;
            // A device that asks for a user name, and every failure after a failed FTP run.
            loginResult = CheckBasicAuth(password, selectedIP);
            if (loginResult < 0) {
                if (upgradeMethod == kHttp) UserNameRefused();
                return false;
            }
        }
    } catch (const std::exception& error) {
        m_view.messageBox(error.what(), "HTTP Upgrade Abnormal Terminate", fw::BoxButtons::Ok);
        m_view.terminate();
        m_view.release();
        return false;
    }
    m_lastRun = RunOutcome::None;
    m_view.addLine("Clear stopCounter to 0");
    stopCounter = 0;
    StopTimer->start();
    if (orderPreset && settings.record.methodOrder == 1) {
        upgradeMethod = kHttp;
    } else if (upgradeMethod == kFtp) {
        MethodPass(); // an older device: FTP is its method
        return false;
    }
    if (!FilesAtHand()) return true;
    upgradeState = UpgradeState::HttpRunning;
    m_view.addLine("Unsing HTTP upgrade mode to : " + selectedIP);
    m_httpWorker.reset(); // the last run's worker has ended: it wrote its last code before it let go
    m_httpWorker = std::make_unique<THTTPThread>(*this);
    httpWorker = m_httpWorker.get();
    httpWorker->Resume();
    return true;
}

// The boxes of a refused password; true when the Upgrade ends here, false when the user name check
// follows.
bool TUpgradeForm1::PasswordRefused()
{
    if (loginResult == kLoginAsksAuth) {
        tryBasicAuth = 1;
        return false;
    }
    PasswordBoxes(loginResult, "Receive response error 4");
    upgradeState = UpgradeState::HttpFailed;
    return true;
}

void TUpgradeForm1::PasswordBoxes(int code, const char* receiveError)
{
    const auto box = [this](const char* text) { m_view.messageBox(text, std::nullopt, fw::BoxButtons::Ok); };
    switch (code) {
    case kLoginRejected:
        m_view.messageBox("Incorrect password. Please check and input again!", "Authentication Failed",
                          fw::BoxButtons::Ok);
        m_view.setStatus("Your input password is incorrect, please check again.");
        break;
    case kLoginReceiveError:
        box(receiveError);
        break;
    case kLoginSendError:
        box("Send request error");
        break;
    case kLoginBadPort:
        box("Port command error");
        break;
    case kLoginBadRequest:
        box("Bad request");
        break;
    case kLoginNoCgi:
        box("No CGI found");
        break;
    default:
        m_view.addLine("Unknow Error while check password");
        break;
    }
}

void TUpgradeForm1::UserNameRefused()
{
    switch (loginResult) {
    case kLoginSendError:
        m_view.messageBox("Send request error", std::nullopt, fw::BoxButtons::Ok);
        break;
    case kLoginReceiveError:
        m_view.messageBox("Receive response error 5", std::nullopt, fw::BoxButtons::Ok);
        break;
    case kLoginRejected:
        m_view.messageBox("Incorrect UserName or Password. Please check and input again!",
                          "Authentication Failed", fw::BoxButtons::Ok);
        m_view.setStatus("username or password is incorrect, please check again.");
        // The user name field comes into view beside the password.
        m_view.setLeft(MainControl::Label2, 160);
        m_view.setLeft(MainControl::PasswordComBox, 215);
        m_view.setWidth(MainControl::PasswordComBox, 110);
        m_view.setVisible(MainControl::UserIDComBox, true);
        m_view.setVisible(MainControl::UserLabel, true);
        break;
    default:
        m_view.addLine("Unknow Error while check password");
        break;
    }
}

int TUpgradeForm1::CheckPassword(const std::string& password, const std::string& address)
{
    LoginWindow window{m_view, m_view, upgradeMethod};
    return ::CheckPassword(password, address, window);
}

int TUpgradeForm1::CheckBasicAuth(const std::string& password, const std::string& address)
{
    LoginWindow window{m_view, m_view, upgradeMethod};
    return ::CheckBasicAuth(userID, m_view.text(MainControl::UserIDComBox), password, address, window);
}

void TUpgradeForm1::ResultBoxes(fw::Dialogs& boxes, const std::string& letters, const std::string& resultText)
{
    if (sectionCheck && letters != sectionList) {
        boxes.messageBox("Upgrade Not complete, please run this program again !", "Upgrade Warning",
                         fw::BoxButtons::Ok);
    } else if (attended && factoryRelease == 0) {
        boxes.messageBox(resultText, "Success", fw::BoxButtons::Ok);
    }
}

void TUpgradeForm1::ShowMessage(std::uint16_t attribute, std::span<const std::byte> bytes, int mode,
                                const std::string& module, const std::string& path)
{
    if (messageWindows)
        showMessageFile(m_loop, *messageWindows, bytes, &m_view, attribute, mode, module, path);
}

bool TUpgradeForm1::FtpStep()
{
    m_view.addLine("Unsing FTP upgrade mode to : " + selectedIP);
    if (!FilesAtHand()) return true;
    upgradeState = UpgradeState::FtpRunning;
    int rc = -1;
    std::string resultText = "FTP upgrade is not available here.";
    if (FTPForm) {
        rc = FTPForm->RunFtpUpgrade(stopCounter, m_view, fileList, selectedIP, selectedModule,
                                    m_view.text(MainControl::PasswordComBox));
        resultText = FTPForm->resultText;
    }
    StopTimer->stop();
    if (m_ending) return false; // the watchdog ended the program during the run
    if (rc < 0) {
        if (rc == -2 || rc == -4) {
            m_view.messageBox(resultText, "Authentication Failed", fw::BoxButtons::Ok);
            m_lastRun = RunOutcome::Failed;
            return false;
        }
        m_view.addLine("Unsing FTP upgrade mode fail : " + selectedIP);
        m_view.addLine(resultText);
        upgradeMethod = kHttpAfterFtp;
        MethodPass();
        return false;
    }
    upgradeState = UpgradeState::FtpFinished;
    m_view.addLine("Unsing FTP upgrade to : " + selectedIP + " success");
    sentSections = FTPForm->sectionLetters;
    m_view.addLine("FTP upgrade section :" + sentSections);
    ResultBoxes(m_view, sentSections, resultText);
    m_view.setEnabled(MainControl::Upgrade, true);
    return true;
}
