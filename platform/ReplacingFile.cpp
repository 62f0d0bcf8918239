#include "platform/ReplacingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fw {

namespace {

std::string folderOf(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : target.substr(0, slash);
}

} // namespace

std::string downloadTargetProblem(const std::string& target)
{
    struct stat st {};
    if (target.empty()) return "no file name given";
    if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    const std::string folder = folderOf(target);
    if (::stat(folder.c_str(), &st) != 0) return std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return std::strerror(ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return {};
}

std::optional<ReplacingFile> ReplacingFile::begin(const std::string& target, std::string& reason)
{
    std::string pattern = target + ".part-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        reason = std::strerror(errno);
        return std::nullopt;
    }
    ::fchmod(fd, 0644);
    ::close(fd);
    return ReplacingFile{target, pattern};
}

ReplacingFile::ReplacingFile(std::string target, std::string temporary)
    : m_target{std::move(target)}, m_temporary{std::move(temporary)}
{
}

ReplacingFile::ReplacingFile(ReplacingFile&& other) noexcept
    : m_target{std::move(other.m_target)}, m_temporary{std::move(other.m_temporary)}, m_committed{
                                                                                          other.m_committed}
{
    other.m_committed = true; // the moved-from object removes nothing
}

ReplacingFile::~ReplacingFile()
{
    if (!m_committed) ::unlink(m_temporary.c_str());
}

bool ReplacingFile::commit(std::string& reason)
{
    struct stat st {};
    const std::string backup = m_target + ".BAK";
    const bool hadTarget = ::lstat(m_target.c_str(), &st) == 0;
    if (hadTarget && ::rename(m_target.c_str(), backup.c_str()) != 0) {
        reason = "cannot keep the earlier file as " + backup + ": " + std::strerror(errno);
        return false;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        reason = std::strerror(errno);
        if (hadTarget) ::rename(backup.c_str(), m_target.c_str()); // the earlier file keeps its name
        return false;
    }
    m_committed = true;
    return true;
}

} // namespace fw
