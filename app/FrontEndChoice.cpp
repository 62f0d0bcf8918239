#include "app/FrontEndChoice.h"

bool useConsole(const std::function<const char*(const char*)>& getenv)
{
    const auto empty = [&](const char* name) {
        const char* value = getenv(name);
        return !value || !*value;
    };
    if (const char* forced = getenv("FWUPGRADE_CONSOLE"); forced && *forced)
        return std::string{forced} != "0";
    return empty("DISPLAY") && empty("WAYLAND_DISPLAY") && empty("QT_QPA_PLATFORM");
}
