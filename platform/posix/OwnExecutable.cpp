#include "platform/posix/OwnExecutable.h"

#include <climits>
#include <unistd.h>

namespace fw {

std::string withoutDeletedMark(std::string target)
{
    static constexpr std::string_view kDeleted = " (deleted)";
    if (target.size() >= kDeleted.size() && target.ends_with(kDeleted))
        target.erase(target.size() - kDeleted.size());
    return target;
}

OwnExecutable ownExecutable()
{
    static constexpr const char* kSelf = "/proc/self/exe";
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(kSelf, buffer, sizeof buffer - 1);
    std::string target = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string{kSelf};
    return {withoutDeletedMark(std::move(target)), kSelf};
}

} // namespace fw
