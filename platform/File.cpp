#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

File File::openRead(const std::string& path)
{
    return File{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
}

File File::openWrite(const std::string& path)
{
    return File{::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
}

File File::createFresh(const std::string& path)
{
    ::unlink(path.c_str());
    return File{::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600)};
}

File File::createTruncated(const std::string& path, unsigned mode)
{
    return File{::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode)};
}

std::optional<std::int64_t> File::size() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

bool File::readAt(std::int64_t offset, std::span<std::byte> out) const
{
    if (m_fd < 0 || offset < 0) return false;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(m_fd, out.data() + done, out.size() - done, offset + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::vector<std::byte>> File::readAt(std::int64_t offset, std::size_t count) const
{
    std::vector<std::byte> bytes(count);
    if (!readAt(offset, bytes)) return std::nullopt;
    return bytes;
}

std::optional<std::vector<std::byte>> File::readAll() const
{
    const auto length = size();
    if (!length) return std::nullopt;
    return readAt(0, static_cast<std::size_t>(*length));
}

bool File::write(std::span<const std::byte> bytes)
{
    if (m_fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::setMode(unsigned mode)
{
    return m_fd >= 0 && ::fchmod(m_fd, mode) == 0;
}

void File::close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool renameFile(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<unsigned> fileMode(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<unsigned>(st.st_mode & 07777);
}

std::span<const std::byte> asBytes(std::string_view text)
{
    return std::as_bytes(std::span{text.data(), text.size()});
}

std::string fileNamePart(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string{slash == std::string_view::npos ? path : path.substr(slash + 1)};
}

} // namespace fw

namespace fw {

std::vector<std::string> directoryEntries(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace fw
