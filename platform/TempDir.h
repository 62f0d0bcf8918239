#pragma once
// The program's private temporary directory: made with mkdtemp under $TMPDIR (or /tmp), mode 0700,
// removed with everything in it when the owner goes away.
#include <optional>
#include <string>

namespace fw {

class TempDir {
public:
    // Makes a new directory named prefix + six random characters; nullopt when that fails.
    static std::optional<TempDir> create(const std::string& prefix = "fwupgrade-");
    ~TempDir() { remove(); }
    TempDir(TempDir&& other) noexcept : m_path{std::move(other.m_path)} { other.m_path.clear(); }
    TempDir& operator=(TempDir&&) = delete;
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // The directory with its trailing separator, ready to have a file name appended.
    std::string prefix() const { return m_path + "/"; }
    void remove();

private:
    explicit TempDir(std::string path) : m_path{std::move(path)} {}
    std::string m_path;
};

// Removes the files directly inside dir, then dir itself. The program's directory holds no
// subdirectories; anything else is left alone. Retries while files appear meanwhile.
void removeFlatDirectory(const std::string& dir);

std::string temporaryRoot();

} // namespace fw
