// Browse, the password and user ID fields, Exit with its close protection, and the service keys.
#include "app/Mainunit.h"

namespace {

bool isRunning(std::int16_t state)
{
    return state == UpgradeState::TftpRunning || state == UpgradeState::HttpRunning ||
           state == UpgradeState::FtpRunning;
}

bool isFailed(std::int16_t state)
{
    return state == UpgradeState::TftpRefused || state == UpgradeState::HttpFailed ||
           state == UpgradeState::FtpFailed;
}

constexpr int kMaxChosenFiles = 64;

} // namespace

void TUpgradeForm1::BrowseClick()
{
    auto chosen = m_view.chooseFiles("(BIN Files)|*.bin|(EXE Files)|*.exe|(All Files)|*.*");
    if (!chosen) return;
    if (chosen->size() > static_cast<std::size_t>(kMaxChosenFiles)) {
        m_view.messageBox("At most 64 upgrade files can be chosen at once. The first 64 are kept.",
                          "Too many upgrade files", fw::BoxButtons::Ok);
        chosen->resize(kMaxChosenFiles);
    }
    fileList.clear();
    m_view.setText(MainControl::UpdateFileName, "");
    m_view.setEnabled(MainControl::Upgrade, true);
    std::string field;
    for (const std::string& path : *chosen) {
        fileList.add(path, Attribute::kChosenFile, 1);
        field += path + "; ";
    }
    m_view.setText(MainControl::UpdateFileName, field);
}

void TUpgradeForm1::PasswordComBoxChange()
{
    m_view.setEnabled(MainControl::Upgrade, true);
    m_view.setStatus("Confirm your password and press Upgrade button to upgrade");
}

void TUpgradeForm1::UserIDComBoxChange()
{
    PasswordComBoxChange();
}

void TUpgradeForm1::ExitClick()
{
    m_view.setEnabled(MainControl::Exit, false);
    exitConfirmed = 1;
    StopTimer->stop();
    const std::int16_t state = upgradeState;
    if (isRunning(state)) {
        exitConfirmed = 0;
        m_view.messageBox("Don't Exit Upgrade Program When upgrade Not Complete !", "Upgrade Not Complete",
                          fw::BoxButtons::Ok);
        m_view.setEnabled(MainControl::Exit, true);
        m_loop.sleepMs(300);
        StopTimer->start();
        return;
    }
    if (isFailed(state))
        m_view.messageBox("Upgrade Not Success, Please Run Again !", "Upgrade Failure", fw::BoxButtons::Ok);
    m_view.closeWindow();
}

bool TUpgradeForm1::FormCloseQuery()
{
    if (exitConfirmed) return true;
    StopTimer->stop();
    bool allow = true;
    const std::int16_t state = upgradeState;
    if (isRunning(state)) {
        const int answer = m_view.messageBox("Upgrade Not complete, Do you really want to exit program ?",
                                             "Upgrade Warning", fw::BoxButtons::OkCancel);
        allow = answer == fw::kAnswerOk;
        if (allow) {
            m_view.terminate();
            m_view.release();
        }
    } else if (isFailed(state)) {
        m_view.messageBox("Upgrade Not success, please Run again !", "Upgrade Warning", fw::BoxButtons::Ok);
    }
    StopTimer->start();
    return allow;
}

void TUpgradeForm1::FormClose()
{
    m_closing = true;
    StopTimer->stop(); // the window is gone: nothing is watched any more
    bundle.reset();    // deletes the temporary files
}

void TUpgradeForm1::ExitKeyDown(int functionKey, bool alt)
{
    if (!alt) return;
    switch (functionKey) {
    case 9: // log on
        if (logShown == 0) {
            ArrangeLayout(6);
            logShown = 1;
            listDetail = 222;
        }
        break;
    case 10: // log off
        if (logShown == 1) {
            ArrangeLayout(7);
            logShown = 0;
            listDetail = 111;
        }
        break;
    case 11: // all panels
        if (logShown == 0) {
            ArrangeLayout(1);
            filesPreset = 0;
            logShown = 1;
            listDetail = 222;
        }
        break;
    case 12: // stop timer
        if (logShown == 1) StopTimer->stop();
        break;
    default:
        break;
    }
}
