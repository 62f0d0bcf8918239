#pragma once
// A download's file: written beside its target under a temporary name, so a failed or cut-off
// download never touches the target. Only commit() gives it the target's name, after moving an
// earlier target to the name with ".BAK" appended (replacing an older ".BAK"). Dropped uncommitted,
// the temporary file is removed.
#include <optional>
#include <string>

namespace fw {

class ReplacingFile {
public:
    // Creates the temporary file; none, with the system's reason, when the folder takes no file.
    static std::optional<ReplacingFile> begin(const std::string& target, std::string& reason);
    ReplacingFile(ReplacingFile&& other) noexcept;
    ReplacingFile& operator=(ReplacingFile&&) = delete;
    ~ReplacingFile();

    const std::string& path() const { return m_temporary; }
    // False, with the reason, when the names could not be changed; the target is then as it was.
    bool commit(std::string& reason);

private:
    ReplacingFile(std::string target, std::string temporary);

    std::string m_target;
    std::string m_temporary;
    bool m_committed = false;
};

// Why a download cannot be saved under this name: it names a folder, or its folder takes no new
// file. Empty when it can.
std::string downloadTargetProblem(const std::string& target);

} // namespace fw
