// The window's layouts: which panels show, stacked without gaps under the device search panel, and
// the window height that goes with them.
#include "app/Mainunit.h"

#include "app/WindowDesign.h"

namespace {

constexpr int kPasswordHeight = 41;
constexpr int kFileHeight = 57;
constexpr int kLogHeight = 137;

constexpr MainControl kStacked[] = {MainControl::PasswordGroup, MainControl::UpgreadFileGroup,
                                    MainControl::ToolGroup, MainControl::ProgressGroup,
                                    MainControl::GSystemLog};

int designHeight(MainControl panel)
{
    for (const auto& p : design::kPanels) {
        if (p.control == panel) return p.height;
    }
    return 0;
}

} // namespace

void TUpgradeForm1::StackPanels()
{
    int top = designHeight(MainControl::SearchGroup);
    for (const MainControl panel : kStacked) {
        if (!m_view.visible(panel)) continue;
        m_view.setTop(panel, top);
        top += designHeight(panel);
    }
}

void TUpgradeForm1::ArrangeLayout(int kind)
{
    const bool log = logShown != 0;
    const int hiddenLog = log ? 0 : kLogHeight;
    const auto show = [&](bool password, bool file, bool logPanel, int height) {
        m_view.setVisible(MainControl::PasswordGroup, password);
        m_view.setVisible(MainControl::UpgreadFileGroup, file);
        m_view.setVisible(MainControl::ProgressGroup, true);
        m_view.setVisible(MainControl::GSystemLog, logPanel);
        StackPanels();
        m_view.setWindowHeight(height);
    };
    switch (kind) {
    case 1:
        show(true, true, true, fullHeight);
        return; // kinds 1, 6 and 7 leave logShown to their callers
    case 2:
        show(false, true, log, fullHeight - kPasswordHeight + 14 - hiddenLog);
        break;
    case 3:
        show(true, true, log, fullHeight + 4 - hiddenLog);
        break;
    case 4:
        show(false, false, log, fullHeight - kPasswordHeight - kFileHeight + 4 - hiddenLog);
        break;
    case 5:
        show(true, false, log, fullHeight - kFileHeight + 4 - hiddenLog);
        break;
    case 6:
        if (!log) {
            m_view.setVisible(MainControl::GSystemLog, true);
            StackPanels();
            m_view.setWindowHeight(m_view.windowHeight() + kLogHeight);
        }
        return;
    case 7:
        if (log) {
            m_view.setVisible(MainControl::GSystemLog, false);
            m_view.setWindowHeight(m_view.windowHeight() - kLogHeight);
        }
        return;
    default:
        return;
    }
    // Kinds 2-5: the settings may ask for the log panel whenever the window is laid out.
    if (settings.record.flags & 0x20) {
        ArrangeLayout(6);
        logShown = 1;
        listDetail = 222;
    }
}
