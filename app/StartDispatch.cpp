// The activation step: how the run starts, from the command line or from control.cfg.
#include "app/Mainunit.h"

#include "discovery/Refresh.h"

void TUpgradeForm1::FormActivate()
{
    ArrangeLayout(4);
    if (settings.paramMode) {
        if (RefreshForm)
            RefreshForm->SetSearchConfig(0xFF, cmdRomID, {"default", "default", "default", "default"});
        if (!m_view.text(MainControl::IPComBox).empty()) {
            ProbeAddress(AddressOf(m_view.text(MainControl::IPComBox)));
            ShowDeviceList();
            IPComBoxChange();
        }
        if (settings.logByParam) {
            ArrangeLayout(6);
            logShown = 1;
            listDetail = 222;
        }
        if (settings.putPending) {
            autoUpgrade = 1;
            attended = 0;
        }
        if (settings.getPending || autoUpgrade) StopTimer->start();
        settings.paramMode = 0;
        return;
    }
    switch (ApplyControlSettings()) {
    case -1:
        m_view.release();
        break;
    case 0:
        autoUpgrade = 0;
        attended = 1;
        IPReFreshClick();
        IPComBoxChange();
        break;
    case 1:
        autoUpgrade = 1;
        attended = 0;
        IPComBoxChange();
        StopTimer->start();
        break;
    case 2:
        m_view.setCaption("Device ROM data download V1.1.0");
        settings.getPending = 1;
        StopTimer->start();
        break;
    case 3:
        autoUpgrade = 0;
        attended = 1;
        ShowDeviceList();
        if (m_view.entryLineCount() >= 1) {
            IPComBoxChange();
        } else {
            IPReFreshClick();
        }
        break;
    default:
        break;
    }
}
