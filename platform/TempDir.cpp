#include "platform/TempDir.h"

#include "platform/File.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace fw {

std::string temporaryRoot()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string root = (tmp && *tmp) ? tmp : "/tmp";
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

std::optional<TempDir> TempDir::create(const std::string& prefix)
{
    std::string pattern = temporaryRoot() + "/" + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) return std::nullopt; // mkdtemp makes it with mode 0700
    return TempDir{std::string{buffer.data()}};
}

void TempDir::remove()
{
    if (m_path.empty()) return;
    removeFlatDirectory(m_path);
    m_path.clear();
}

void removeFlatDirectory(const std::string& dir)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        for (const std::string& name : directoryEntries(dir)) ::unlink((dir + "/" + name).c_str());
        if (::rmdir(dir.c_str()) == 0 || errno == ENOENT) return;
        if (errno != ENOTEMPTY && errno != EEXIST) return;
    }
}

} // namespace fw
