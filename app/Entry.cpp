#include "app/Entry.h"

#include "app/ExitStatus.h"

#include <exception>

int runEntry(MainWindowOps& view, fw::EventLoop& loop, FrontEnd& frontEnd, StartContext context)
{
    try {
        TUpgradeForm1 form{view, loop, std::move(context)};
        view.bind(&form);
        form.FormCreate();
        const int status = form.startFailed ? kExitCannotStart : frontEnd.run(form);
        view.bind(nullptr);
        return status;
    } catch (const std::exception& error) {
        view.bind(nullptr);
        view.messageBox(error.what(), std::nullopt, fw::BoxButtons::Ok);
        return kExitFailed;
    }
}
