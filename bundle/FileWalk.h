#pragma once
// The walk over the window's file list that every transfer method runs to find the next image to
// send: which images fit the device's module name and the method, the section letters of those
// chosen, and the message files met on the way. Also the length pass that sizes the progress.
#include "bundle/EmbedFileList.h"
#include "platform/WindowOps.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

enum class WalkMethod { Http, Ftp, Tftp };

// Display modes of a message file met by a walk.
inline constexpr int kMenuMode = 100, kFtpMode = 101, kTftpMode = 102;

// Results beside a row number.
inline constexpr int kWalkNothingFurther = 1001, kWalkNothingAtAll = 1002, kWalkMessageUnreadable = -1;

// What a method keeps between the calls of one transfer.
struct WalkProgress {
    bool moduleMatched = false;     // a module-specific image was chosen
    std::string sectionLetters;     // of the images chosen so far, each once
    std::uint16_t putCount = 0;     // images chosen so far (TFTP)
    std::int16_t currentIndex = -1; // the row last returned (HTTP and FTP)
};

class FileWalk {
public:
    // Shows a message file: its attribute word, bytes, display mode, the device's module name and path.
    using ShowMessage = std::function<void(std::uint16_t attribute, std::span<const std::byte> bytes,
                                           int mode, const std::string& module, const std::string& path)>;

    FileWalk(WalkMethod method, const EmbedFileRows& list, fw::Log& log, fw::Dialogs& dialogs,
             ShowMessage show);

    // The row of the next image to send from startRow on, kWalkNothingFurther, kWalkNothingAtAll, or
    // kWalkMessageUnreadable. logSwitch off (HTTP and FTP) makes the call silent.
    int next(int startRow, bool logSwitch, const std::string& module, WalkProgress& progress);
    // The silent look-ahead: what a logging call would return now, message files passed over, on a
    // copy of the progress, so the method's own is unchanged.
    int lookAhead(int startRow, const std::string& module, const WalkProgress& progress);
    // The total length of the images the walk will choose, or -1 when one's length cannot be found.
    std::int64_t length(const std::string& module, WalkProgress& progress);

    // "ignore all files error", "File Seek error : ..." and the like, for HTTP and FTP.
    const std::string& resultText() const { return m_resultText; }

private:
    bool ownBit(std::uint16_t attribute) const;
    void line(bool write, const std::string& text);

    WalkMethod m_method;
    const EmbedFileRows& m_list;
    fw::Log& m_log;
    fw::Dialogs& m_dialogs;
    ShowMessage m_show;
    std::string m_resultText;
};

// Appends the section letter of the attribute word unless the letters hold it already.
void AddSectionLetter(std::string& sectionLetters, std::uint16_t attribute);
// The file name part of path begins with the module name, ASCII letters compared without case; an
// empty module name matches every file.
bool moduleNameMatches(const std::string& module, const std::string& path);
