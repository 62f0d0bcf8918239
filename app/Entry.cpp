#include "app/Entry.h"

#include "app/ExitStatus.h"

#include <exception>

int runEntry(const ProgramParts& parts, FrontEnd& frontEnd, StartContext context)
{
    MainWindowOps& view = parts.view;
    try {
        TUpgradeForm1 form{view, parts.loop, std::move(context)};
        view.bind(&form);
        form.FormCreate();
        if (form.startFailed) {
            view.bind(nullptr);
            return kExitCannotStart;
        }
        TRefreshForm refresh{parts.loop, parts.probeSocket, parts.echo, parts.searchWindow, &view};
        form.RefreshForm = &refresh;
        const int status = frontEnd.run(form);
        form.RefreshForm = nullptr;
        view.bind(nullptr);
        return status;
    } catch (const std::exception& error) {
        view.bind(nullptr);
        view.messageBox(error.what(), std::nullopt, fw::BoxButtons::Ok);
        return kExitFailed;
    }
}
