// The Upgrade button: the device must be known and answer; then the method its state and the
// settings call for runs. TFTP runs on its own events; the watchdog finishes it.
#include "app/Mainunit.h"

#include "discovery/Refresh.h"
#include "tftp/Tftpunit.h"

#include <cstring>

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
    switch (upgradeMethod) {
    case kTftp:
        TftpStep();
        break;
    case kHttp:
    case kHttpAfterFtp:
        UnavailableStep("HTTP", UpgradeState::HttpFailed);
        break;
    case kFtp:
        UnavailableStep("FTP", UpgradeState::FtpFailed);
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
    AutomaticExit();
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

void TUpgradeForm1::TftpStep()
{
    if (!FilesAtHand()) return; // StopTimer runs on: the watchdog counts until a new Upgrade
    upgradeState = UpgradeState::TftpRunning;
    m_view.addLine("Unsing TFTP upgrade mode to : " + selectedIP);
    if (TFTPForm)
        TFTPForm->RunTftpUpgrade(stopCounter, upgradeState, m_view, fileList, selectedIP, selectedModule,
                                 tftpFileOpen);
}

void TUpgradeForm1::UnavailableStep(const char* method, std::int16_t failedState)
{
    // These methods come with later versions; until then the run ends as failed, never in silence.
    StopTimer->stop();
    m_view.addLine(std::string{method} + " upgrade is not available in this version: " + selectedIP +
                   " cannot be upgraded this way yet.");
    upgradeState = failedState;
}
