#include "app/Entry.h"

#include "app/ExitStatus.h"
#include "ftp/Ftpunit.h"
#include "messages/HintForm.h"
#include "tftp/Tftpunit.h"

#include <exception>

int runEntry(const ProgramParts& parts, FrontEnd& frontEnd, StartContext context)
{
    MainWindowOps& view = parts.view;
    try {
        TUpgradeForm1 form{view, parts.loop, std::move(context)};
        form.messageWindows = &parts.messageWindows;
        view.bind(&form);
        form.FormCreate();
        if (form.startFailed) {
            view.bind(nullptr);
            return kExitCannotStart;
        }
        TRefreshForm refresh{parts.loop, parts.probeSocket, parts.echo, parts.searchWindow, &view};
        form.RefreshForm = &refresh;
        TTFTPForm tftpForm{parts.loop, parts.tftpSocket,
                           [&](std::uint16_t attribute, std::span<const std::byte> bytes, int mode,
                               const std::string& module, const std::string& path) {
                               showMessageFile(parts.loop, parts.messageWindows, bytes, &view, attribute,
                                               mode, module, path);
                           }};
        form.TFTPForm = &tftpForm;
        TmyFTPForm ftpForm{parts.ftpClient,
                           [&](std::uint16_t attribute, std::span<const std::byte> bytes, int mode,
                               const std::string& module, const std::string& path) {
                               form.ShowMessage(attribute, bytes, mode, module, path);
                           }};
        form.FTPForm = &ftpForm;
        const int status = frontEnd.run(form);
        form.FTPForm = nullptr;
        form.TFTPForm = nullptr;
        form.RefreshForm = nullptr;
        view.bind(nullptr);
        return status;
    } catch (const std::exception& error) {
        view.bind(nullptr);
        view.messageBox(error.what(), std::nullopt, fw::BoxButtons::Ok);
        return kExitFailed;
    }
}
