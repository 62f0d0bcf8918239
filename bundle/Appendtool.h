#pragma once
// appendTool: reads the bundle appended to the program's own file once at start, writes every
// embedded file to the private temporary directory, keeps the list of those files and deletes them
// again when it is destroyed.
#include "bundle/BundleFormat.h"
#include "bundle/EmbedFileList.h"
#include "platform/WindowOps.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace fw {
class File;
}

class appendTool {
public:
    // One row per record read, in bundle order.
    struct Append_File_Attribute {
        std::array<std::string, bundle::kMaxRecords> names;
        std::array<std::uint16_t, bundle::kMaxRecords> attributes{};
        std::array<std::int32_t, bundle::kMaxRecords> kinds{}; // 1 ordinary file, 2 message file
        std::int32_t count = 0;
        std::array<std::int32_t, bundle::kMaxRecords> sizes{};
    };
    // One row per temporary file written; row 0 is the program copy.
    using EmbedFile_List = EmbedFileRows;
    // Called for each message record while the bundle is read: its attribute word and its bytes.
    using StartMessageHandler =
        std::function<void(std::uint16_t attribute, std::span<const std::byte> bytes)>;

    // tempDir ends with the path separator. Without dialogs the reader shows no boxes.
    appendTool(std::string tempDir, fw::Dialogs* dialogs);
    ~appendTool();
    appendTool(const appendTool&) = delete;
    appendTool& operator=(const appendTool&) = delete;

    void SetStartMessageHandler(StartMessageHandler handler) { m_startMessage = std::move(handler); }

    // -2 unsupported version (after its box), -1 failure, 0 no data bytes extracted, else the number of
    // data bytes extracted. The file is named by path and read from openPath.
    int ReadinputExeFile(const std::string& path, const std::string& openPath);
    int ReadinputExeFile(const std::string& path) { return ReadinputExeFile(path, path); }

    // Two lines per temporary file; returns the row count.
    int ListEmbedFiles(fw::Log& log) const;
    int CountUpgradeFiles() const;
    void CopyFileList(EmbedFile_List& destination) const;
    // The letters of the sections of the listed files, each once, in order of first appearance.
    std::string SectionList() const;

    // The text after the last path separator; all of it when there is none.
    static std::string cutPath(std::string_view path);
    // Copies the whole of an open source to destination: 1, or -1 when the source is not open or
    // the copy cannot be written (nothing is left behind then).
    static int Myfilecopy(const fw::File& source, const std::string& destination);

    const Append_File_Attribute& embeddedFiles() const { return m_embedded; }
    const EmbedFile_List& temporaryFiles() const { return m_temporary; }
    const std::string& tempDir() const { return m_tempDir; }

private:
    int read_imbed_file(const std::string& path, const std::string& openPath);
    void box(std::string_view text, std::string_view caption, fw::BoxButtons buttons) const;
    std::string temporaryName(const std::string& recordName, std::uint16_t attribute) const;

    Append_File_Attribute m_embedded;
    EmbedFile_List m_temporary;
    std::string m_tempDir;
    fw::Dialogs* m_dialogs;
    StartMessageHandler m_startMessage;
};
