#pragma once
// The running program's own file: opened through /proc/self/exe, so the bytes are those of the image
// that runs even when the file was replaced since, and named by the link's target.
#include <string>

namespace fw {

struct OwnExecutable {
    std::string path;     // the real file, for names and the log
    std::string openPath; // what to open for reading
};

OwnExecutable ownExecutable();

// The link target as the kernel reports it, without the " (deleted)" it appends for a removed file.
std::string withoutDeletedMark(std::string target);

} // namespace fw
