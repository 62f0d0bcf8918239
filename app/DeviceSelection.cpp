// Choosing the device: selection in the entry, Enter on a typed address, Refresh, and looking
// devices up in the search results.
#include "app/Mainunit.h"

#include "discovery/Refresh.h"

std::string AddressOf(std::string_view text)
{
    return std::string{text.substr(0, text.find(' '))};
}

int TUpgradeForm1::FindDevice(const std::string& address, std::string& module, std::int32_t& state) const
{
    if (!RefreshForm) return -1;
    const auto& list = RefreshForm->deviceList;
    for (int i = 0; i < list.count; ++i) {
        if (list.rows[i].ip == address) {
            module = list.rows[i].module;
            state = list.rows[i].state;
            return 1;
        }
    }
    return -1;
}

void TUpgradeForm1::ShowDeviceList()
{
    if (RefreshForm) RefreshForm->FillDeviceBox(m_view, m_view, listDetail);
}

void TUpgradeForm1::ProbeAddress(const std::string& address)
{
    if (RefreshForm) RefreshForm->SearchDevices(address);
}

void TUpgradeForm1::IPComBoxChange()
{
    const std::string key = AddressOf(m_view.text(MainControl::IPComBox));
    const bool userRelease = settings.record.flags & 0x10;
    const int count = RefreshForm ? RefreshForm->deviceList.count : 0;
    for (int i = 0; i < count; ++i) {
        const TRefreshForm::router_info& device = RefreshForm->deviceList.rows[i];
        if (device.ip != key) continue;
        // A password the command line or the settings gave is kept; otherwise the preset applies.
        if (!m_givenPassword) {
            const bool noPreset = userRelease || device.module == "MXV350" || device.module == "PLK460";
            m_view.setText(MainControl::PasswordComBox, noPreset ? "" : "qelvo");
        }
        const bool filesAtHand = !(m_view.text(MainControl::UpdateFileName).empty() && filesPreset == 0);
        switch (device.state) {
        case DeviceState::Crash:
            m_view.setEnabled(MainControl::Upgrade, false);
            upgradeMethod = 1;
            ArrangeLayout(filesPreset == 1 ? 4 : 2);
            if (!filesAtHand) {
                m_view.setStatus("Please select the upgrade files");
            } else {
                m_view.setStatus("Press Upgrade Button To Upgrade Router");
                m_view.setEnabled(MainControl::Upgrade, true);
            }
            break;
        case DeviceState::Normal:
        case DeviceState::Default:
        case DeviceState::Unknown:
            m_view.setEnabled(MainControl::PasswordComBox, true);
            upgradeMethod = device.state == DeviceState::Unknown ? 3 : 2;
            if (filesPreset == 1) {
                ArrangeLayout(userRelease ? 5 : 4);
            } else {
                ArrangeLayout(userRelease ? 3 : 2);
                if (!filesAtHand) {
                    m_view.setStatus("Please select the upgrade files");
                    continue;
                }
            }
            m_view.setStatus(m_view.text(MainControl::PasswordComBox).empty()
                                 ? "Please input the password"
                                 : "Press Upgrade Button To Upgrade Router");
            m_view.setEnabled(MainControl::Upgrade, true);
            break;
        case DeviceState::CrashUnreachable:
            m_view.setEnabled(MainControl::Upgrade, false);
            ArrangeLayout(filesPreset == 1 ? 4 : 2);
            upgradeMethod = 0;
            break;
        case DeviceState::NormalUnreachable:
            m_view.setEnabled(MainControl::Upgrade, false);
            if (filesPreset == 1) {
                ArrangeLayout(userRelease ? 5 : 4);
            } else {
                ArrangeLayout(userRelease ? 3 : 2);
            }
            upgradeMethod = 0;
            break;
        default: // unreachable at a default address, duplicates, and anything unknown
            m_view.setEnabled(MainControl::Upgrade, false);
            upgradeMethod = 0;
            break;
        }
    }
    m_view.setLeft(MainControl::Label2, 10);
    m_view.setLeft(MainControl::PasswordComBox, 70);
    m_view.setWidth(MainControl::PasswordComBox, 259);
    m_view.setText(MainControl::UserIDComBox, "admin");
    m_view.setVisible(MainControl::UserIDComBox, false);
    m_view.setVisible(MainControl::UserLabel, false);
    m_view.focusEntry();
}

void TUpgradeForm1::IPComBoxKeyPress(char key)
{
    if (key != '\r') return;
    const std::string address = AddressOf(m_view.text(MainControl::IPComBox));
    if (RefreshForm) RefreshForm->ClearDeviceList();
    ProbeAddress(address);
    ShowDeviceList();
    IPComBoxChange();
}

void TUpgradeForm1::IPReFreshClick()
{
    m_view.setStatus("Please Wait for Searching Router...");
    logShown = 0;
    m_view.setEnabled(MainControl::Upgrade, false);
    m_view.setLeft(MainControl::Label2, 10);
    m_view.setText(MainControl::PasswordComBox, m_givenPassword.value_or(fieldText(
                                                    settings.record.passWd, sizeof settings.record.passWd)));
    m_view.setLeft(MainControl::PasswordComBox, 70);
    m_view.setWidth(MainControl::PasswordComBox, 259);
    m_view.setText(MainControl::UserIDComBox, "admin");
    m_view.setVisible(MainControl::UserIDComBox, false);
    m_view.setVisible(MainControl::UserLabel, false);
    m_view.setMaximum(0);
    m_view.setPosition(0);
    ArrangeLayout(filesPreset == 0 ? 2 : 4);
    if (RefreshForm) RefreshForm->ShowModal();
    ShowDeviceList();
    IPComBoxChange();
}
