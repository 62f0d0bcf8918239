#pragma once
// TUpgradeForm1: the main window's state, its creation step and its handlers. Every other window
// and transfer reads and writes the fields here; the window itself is reached through MainWindowOps.
#include "app/ControlSettings.h"
#include "app/MainWindowOps.h"
#include "bundle/Appendtool.h"
#include "platform/EventLoop.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class THTTPThread;
class TRefreshForm;
class TTFTPForm;
class TmyFTPForm;
class MessageWindows;

// What the entry hands the window: the command line without the program name and our own options,
// the program's own file, and the private temporary directory (ending with its separator).
struct StartContext {
    std::vector<std::string> args;
    std::string exePath;
    std::string exeOpenPath;
    std::string tempDir;
};

// upgradeState codes.
namespace UpgradeState {
inline constexpr std::int16_t None = 0;
inline constexpr std::int16_t TftpRunning = 11, TftpAccepted = 12, TftpRefused = 13;
inline constexpr std::int16_t HttpRunning = 121, HttpFinished = 122, HttpFailed = 123;
inline constexpr std::int16_t FtpRunning = 131, FtpFinished = 132, FtpFailed = 133;
} // namespace UpgradeState

class TUpgradeForm1 final : public MainWindowEvents {
public:
    using EmbedFile_List = EmbedFileRows;

    TUpgradeForm1(MainWindowOps& view, fw::EventLoop& loop, StartContext context);
    ~TUpgradeForm1() override;

    // Creation step: version lines, command line, bundle. Sets startFailed when the program must end.
    void FormCreate();

    void FormActivate() override;
    void IPComBoxChange() override;
    void IPComBoxKeyPress(char key) override;
    void IPReFreshClick() override;
    void BrowseClick() override;
    void ExitClick() override;
    void ExitKeyDown(int functionKey, bool alt) override;
    bool FormCloseQuery() override;
    void FormClose() override;
    void UpgradeClick() override;
    void PasswordComBoxChange() override;
    void UserIDComBoxChange() override;
    void StopTimerTimer();
    // The device data download of a "get" start, run by the first tick.
    void DownloadRun();

    // Routines other parts of the program call.
    int ApplyControlSettings(); // -1 unreadable, 0 interactive, 1 put, 2 get, 3 set
    void ArrangeLayout(int kind);
    void ShowDeviceList();
    void ProbeAddress(const std::string& address);
    // 1 with the device's module name and search state, or -1 when the search did not find it.
    int FindDevice(const std::string& address, std::string& module, std::int32_t& state) const;

    // The password check of the device's web interface: its port, or a negative result code.
    int CheckPassword(const std::string& password, const std::string& address);
    int CheckBasicAuth(const std::string& password, const std::string& address);
    // The boxes that end a finished FTP or HTTP run: the section check, else the success box.
    void ResultBoxes(fw::Dialogs& boxes, const std::string& letters, const std::string& resultText);
    // Shows a message file of the bundle met by a transfer's walk.
    void ShowMessage(std::uint16_t attribute, std::span<const std::byte> bytes, int mode,
                     const std::string& module, const std::string& path);

    // The exit status the program's state calls for when it ends now.
    int exitStatus() const;
    // A run (upgrade or download) was started since the program began.
    bool runStarted() const;

    // Window fields.
    std::uint16_t filesPreset = 0;
    std::uint16_t upgradeMethod = 0; // 0 none, 1 TFTP, 2 HTTP, 3 FTP, 133 HTTP after an FTP failure
    std::uint16_t listDetail = 0;    // 111 brief, 222 detailed
    std::uint8_t logShown = 0;
    std::uint16_t fullHeight = 0;
    std::int32_t tftpFileOpen = 0;
    std::uint8_t autoUpgrade = 0;
    std::uint16_t timeOutTicks = 0;
    std::uint8_t orderPreset = 0;
    THTTPThread* httpWorker = nullptr;
    SettingsArea settings;
    std::string cmdRomID;
    std::int32_t upgradeFileCount = 0;
    std::unique_ptr<appendTool> bundle;
    std::atomic<std::uint16_t> stopCounter{0};
    std::atomic<std::int16_t> upgradeState{UpgradeState::None};
    std::uint8_t attended = 0;
    std::string sentSections;
    std::uint8_t sectionCheck = 0;
    std::uint8_t factoryRelease = 0;
    std::string sectionList;
    std::int32_t tryBasicAuth = 0;
    char userID[20] = {};
    EmbedFile_List fileList;

    // Data of the current upgrade, shared with the driver and the HTTP worker.
    std::string selectedIP;
    std::string selectedModule;
    std::int32_t selectedState = 0;
    std::int32_t loginResult = 0;
    std::uint8_t exitConfirmed = 0;
    std::uint8_t startFailed = 0;

    std::unique_ptr<fw::Timer> StopTimer;     // 1000 ms, stopped at start
    TTFTPForm* TFTPForm = nullptr;            // the TFTP holder, made by the entry
    TmyFTPForm* FTPForm = nullptr;            // the FTP holder, made by the entry
    TRefreshForm* RefreshForm = nullptr;      // the device search window, made by the entry after this one
    MessageWindows* messageWindows = nullptr; // where the bundle's messages are shown

    MainWindowOps& view() { return m_view; }
    fw::EventLoop& loop() { return m_loop; }

private:
    void ApplyCommandLine();
    // The one upgrade file of a preset; the file field shows it followed by separator.
    void PresetFile(const std::string& path, std::string_view separator);
    void StackPanels();
    void MethodPass();
    // Each step returns true when the automatic exit step follows, false when the Upgrade ends at once.
    bool TftpStep();
    bool HttpStep();
    bool PasswordRefused();
    // The box (or log line) of a refused password check; receiveError is the text of a receive error.
    void PasswordBoxes(int code, const char* receiveError);
    void UserNameRefused();
    bool FtpStep();
    bool FilesAtHand();
    void AutomaticExit();
    void CommandLineError();
    bool GetParametersFit(const std::string& offset, const std::string& length, const std::string& file);
    void EndStart();

    MainWindowOps& m_view;
    fw::EventLoop& m_loop;
    StartContext m_context;
    // The password the command line or the settings gave; a device selection keeps it.
    std::optional<std::string> m_givenPassword;
    // A run that ended without an upgrade state of its own: the device not answering, no method,
    // the watchdog's end. A new method pass clears it.
    enum class RunOutcome { None, Failed, Succeeded };
    RunOutcome m_lastRun = RunOutcome::None;
    bool m_closing = false;
    bool m_ending = false; // the watchdog has ended the program
    // The HTTP worker of the last HTTP run; httpWorker points at it while it is the current one.
    std::unique_ptr<THTTPThread> m_httpWorker;
};

// The address part of a device entry's text: everything up to the first blank.
std::string AddressOf(std::string_view text);

// Text helpers of the command line and the settings.
std::string lowerCase(std::string_view text);
// Copies text into a zero-terminated field of width bytes, cut to width - 1 characters.
void copyToField(char* field, std::size_t width, std::string_view text);
// A field's text up to its first zero byte, never past the field.
std::string fieldText(const char* field, std::size_t width);
