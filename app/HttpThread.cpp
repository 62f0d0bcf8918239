#include "app/HttpThread.h"

#include "app/Mainunit.h"
#include "messages/HintForm.h"
#include "web/Httptool.h"

#include <vector>

THTTPThread::THTTPThread(TUpgradeForm1& form) : m_form{form}, m_window{form.loop(), form.view()} {}

THTTPThread::~THTTPThread()
{
    requestStop();
    if (m_thread.joinable()) m_thread.join();
}

void THTTPThread::Resume()
{
    m_form.loop().beginWork(); // the program is not idle while the upload runs
    m_thread = std::thread{[this] { Execute(); }};
}

void THTTPThread::requestStop()
{
    m_stop = true;
    m_window.close();
}

void THTTPThread::Execute()
{
    {
        SendHTTP http;
        http.setStopFlag(&m_stop);
        http.setMessageShow([this](std::uint16_t attribute, std::span<const std::byte> bytes, int mode,
                                   const std::string& module, const std::string& path) {
            // Message windows belong to the window thread; the walk waits until the message is done.
            m_window.run([this, attribute, copy = std::vector<std::byte>(bytes.begin(), bytes.end()), mode,
                          module, path] { m_form.ShowMessage(attribute, copy, mode, module, path); });
        });
        const int rc =
            http.HttpUpgrade(m_form.stopCounter, m_window, m_form.fileList, m_form.selectedIP,
                             static_cast<std::uint16_t>(m_form.loginResult & 0xFFFF), m_form.selectedModule);
        if (rc < 0) {
            m_form.stopCounter = kFailed;
            m_form.upgradeState = UpgradeState::HttpFailed;
            m_window.messageBox(http.resultText, "Failure", fw::BoxButtons::Ok);
        } else {
            m_form.stopCounter = kSucceeded;
            m_form.upgradeState = UpgradeState::HttpFinished;
            m_window.run([this, letters = http.sectionLetters] { m_form.sentSections = letters; });
            m_form.ResultBoxes(m_window, http.sectionLetters, http.resultText);
            m_window.post([this] { m_form.view().setEnabled(MainControl::Upgrade, true); });
        }
        m_window.setStatus(http.resultText);
        m_form.stopCounter = kDone;
    }
    m_finished = true;
    m_form.loop().endWork();
}
