// StopTimer's tick: a pending download, a pending automatic start, or the watchdog of the running
// upgrade, which counts seconds without progress and finishes the TFTP and HTTP runs.
#include "app/Mainunit.h"

#include "app/HttpThread.h"
#include "ftp/Ftpunit.h"
#include "tftp/Tftpunit.h"

void TUpgradeForm1::StopTimerTimer()
{
    if (settings.getPending) {
        DownloadRun();
        return;
    }
    if (autoUpgrade) {
        StopTimer->stop();
        autoUpgrade = 0;
        settings.putPending = 0;
        if (m_view.text(MainControl::IPComBox).empty()) {
            IPReFreshClick();
            IPComBoxChange(); // the user continues by hand
        } else if (filesPreset == 1) {
            UpgradeClick();
        }
        return;
    }
    std::uint16_t counter = stopCounter;
    switch (counter) {
    case 124: // the HTTP worker is done
        StopTimer->stop();
        m_view.addLine("HTTP upgrade section :" + sentSections);
        if (attended == 0) ExitClick();
        return;
    case 122:
    case 123:
    case 1001:
        return; // a final box is open, or the device is restarting
    case 1002:
        StopTimer->stop();
        if (attended == 0) {
            ExitClick();
        } else {
            m_view.dialog(fw::DialogType::Warning, "Incorrect upgrade file. Please check again!",
                          fw::DialogButtons::Yes);
        }
        return;
    case 1000: {
        StopTimer->stop();
        if (attended == 0) {
            ExitClick();
        } else if (factoryRelease == 0) {
            m_view.messageBox("Recover Complete !", "Recover Success", fw::BoxButtons::Ok);
        }
        sentSections = TFTPForm ? TFTPForm->sectionLetters : std::string{};
        m_view.addLine("TFTP upgrade section :" + sentSections);
        if (sectionCheck && sentSections != sectionList)
            m_view.messageBox("Upgrade Not complete, please click Upgrade button again !", "Upgrade Again",
                              fw::BoxButtons::Ok);
        if (m_closing) return; // the unattended run has ended the program: nothing left to search for
        IPReFreshClick();
        IPComBoxChange(); // the restarted device is found again
        return;
    }
    default:
        break;
    }
    // Counting. The increment must not overwrite an end code a transfer writes at the same moment.
    if (!stopCounter.compare_exchange_strong(counter, static_cast<std::uint16_t>(counter + 1))) return;
    // A count that reaches an end code is read as that code from the next tick on.
    const std::uint16_t count = static_cast<std::uint16_t>(counter + 1);
    if (count < timeOutTicks) {
        m_view.addLine("StopCounter : " + std::to_string(count));
        return;
    }
    StopTimer->stop();
    m_lastRun = RunOutcome::Failed;
    m_ending = true;
    switch (upgradeState) {
    case UpgradeState::TftpRunning:
        m_view.messageBox(
            "Recover Not Complete. Please Power OFF and Power ON the router then execution program again !!",
            "TFTP Upgrade Failure", fw::BoxButtons::Ok);
        break;
    case UpgradeState::HttpRunning:
        if (httpWorker) httpWorker->requestStop();
        m_view.messageBox("Upgrade Abnormal Terminate and Please ReRun the program to ReUpgrade",
                          "HTTP Upgrade Failure", fw::BoxButtons::Ok);
        break;
    case UpgradeState::FtpRunning:
        if (FTPForm) FTPForm->Abort(); // the upload waiting below this tick gives up
        m_view.messageBox("Upgrade Abnormal Terminate and Please ReRun the program to ReUpgrade",
                          "FTP Upgrade Failure", fw::BoxButtons::Ok);
        break;
    default:
        break;
    }
    m_view.terminate();
    m_view.release();
}
