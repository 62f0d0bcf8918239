#include "app/Mainunit.h"

#include "app/ExitStatus.h"
#include "app/HttpThread.h"
#include "messages/HintForm.h"

#include <cstring>

TUpgradeForm1::TUpgradeForm1(MainWindowOps& view, fw::EventLoop& loop, StartContext context)
    : m_view{view}, m_loop{loop}, m_context{std::move(context)}
{
    StopTimer = m_loop.createTimer(1000);
    StopTimer->onTick = [this] { StopTimerTimer(); };
}

TUpgradeForm1::~TUpgradeForm1()
{
    // The worker reads this window's fields: it stops and ends first.
    httpWorker = nullptr;
    m_httpWorker.reset();
}

void TUpgradeForm1::FormCreate()
{
    m_view.addLine("Program Version V1.1.1e");
    m_view.addLine("Program build at 2002/02/19 pm 1:48");

    cmdRomID = "Vantik";
    settings.record.flags = 0x9F;
    settings.getPending = 0;
    settings.putPending = 0;
    timeOutTicks = 40;
    orderPreset = 0;
    factoryRelease = 0;
    settings.logByParam = 0;

    ApplyCommandLine();

    bundle = std::make_unique<appendTool>(m_context.tempDir, &m_view);
    // Messages meant for the start show while the bundle is read, before the window appears.
    bundle->SetStartMessageHandler([this](std::uint16_t attribute, std::span<const std::byte> bytes) {
        if (messageWindows)
            showMessageFile(m_loop, *messageWindows, bytes, nullptr, attribute, kMessageMenuMode, "", "");
    });
    listDetail = 111;
    fullHeight = static_cast<std::uint16_t>(m_view.windowHeight());
    upgradeMethod = 0;
    sectionCheck = 0;
    sectionList.clear();
    m_view.setText(MainControl::UserIDComBox, "admin");

    const int result = bundle->ReadinputExeFile(m_context.exePath, m_context.exeOpenPath);

    // A command-line start neither looks at the result nor takes the bundle's list.
    if (settings.paramMode && !(m_view.text(MainControl::UpdateFileName).empty() && settings.getPending))
        return;

    if (result == -2) {
        EndStart();
    } else if (result == -1) {
        m_view.messageBox("Read Imbed File Error !!", "Initial Error", fw::BoxButtons::Ok);
        EndStart();
    } else if (result == 0) {
        filesPreset = 0;
        m_view.addLine("No Imbed File Found !!");
        bundle->CopyFileList(fileList);
    } else {
        bundle->ListEmbedFiles(m_view);
        upgradeFileCount = bundle->CountUpgradeFiles();
        if (upgradeFileCount != 0) {
            filesPreset = 1;
        } else {
            filesPreset = 0;
            m_view.addLine("No Upgrade File Found !!");
        }
        bundle->CopyFileList(fileList);
    }
}

void TUpgradeForm1::EndStart()
{
    m_view.terminate();
    m_view.release();
    m_view.closeWindow();
    startFailed = 1;
}

bool TUpgradeForm1::runStarted() const
{
    return upgradeState != UpgradeState::None || m_lastRun != RunOutcome::None;
}

int TUpgradeForm1::exitStatus() const
{
    if (m_lastRun == RunOutcome::Failed) return kExitFailed;
    if (m_lastRun == RunOutcome::Succeeded) return kExitSucceeded;
    switch (upgradeState) {
    case UpgradeState::None:
        return kExitNeedsPerson;
    case UpgradeState::TftpAccepted:
    case UpgradeState::HttpFinished:
    case UpgradeState::FtpFinished:
        return kExitSucceeded;
    default:
        return kExitFailed; // refused, failed, or still running when the program ended
    }
}

std::string lowerCase(std::string_view text)
{
    std::string out{text};
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

void copyToField(char* field, std::size_t width, std::string_view text)
{
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(text.size(), width - 1));
}

std::string fieldText(const char* field, std::size_t width)
{
    return std::string(field, ::strnlen(field, width));
}
