#pragma once
// Plain file access for the logic: whole-range reads that never pass the end of the file, writes
// that report a short write, and the few directory operations the program needs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fw {

class File {
public:
    File() = default;
    ~File() { close(); }
    File(File&& other) noexcept : m_fd{other.m_fd} { other.m_fd = -1; }
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    static File openRead(const std::string& path);
    // Opens for writing, creating the file when it is missing; keeps what it holds.
    static File openWrite(const std::string& path);
    // Removes a file of that name, then creates a new one that nobody else can have opened (O_EXCL).
    static File createFresh(const std::string& path);
    // Creates or truncates.
    static File createTruncated(const std::string& path, unsigned mode = 0644);

    bool isOpen() const { return m_fd >= 0; }
    explicit operator bool() const { return isOpen(); }
    std::optional<std::int64_t> size() const;
    // Reads exactly out.size() bytes at offset; false when the file ends before or the read fails.
    bool readAt(std::int64_t offset, std::span<std::byte> out) const;
    std::optional<std::vector<std::byte>> readAt(std::int64_t offset, std::size_t count) const;
    std::optional<std::vector<std::byte>> readAll() const;
    // Writes all bytes at the current position; false on any failure, a full disk included.
    bool write(std::span<const std::byte> bytes);
    bool setMode(unsigned mode);
    void close();

private:
    explicit File(int fd) : m_fd{fd} {}
    int m_fd = -1;
};

bool fileExists(const std::string& path);
bool removeFile(const std::string& path);
bool renameFile(const std::string& from, const std::string& to);
std::optional<unsigned> fileMode(const std::string& path);
// The names in a directory, without "." and "..", sorted; empty when it cannot be read.
std::vector<std::string> directoryEntries(const std::string& dir);

std::span<const std::byte> asBytes(std::string_view text);

// The file name part of a path: the text after its last '/', all of it when there is none.
std::string fileNamePart(std::string_view path);

} // namespace fw
