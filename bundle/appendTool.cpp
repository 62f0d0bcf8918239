#include "bundle/Appendtool.h"

#include "bundle/SectionLetters.h"
#include "platform/File.h"

#include <climits>
#include <new>
#include <span>
#include <vector>

using namespace bundle;

namespace {

// A record name becomes a file name in the temporary directory: it must name a file there.
bool isPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Thrown for a bundle whose bytes do not hold together; reported as an unexpected failure.
struct MalformedBundle {};

} // namespace

appendTool::appendTool(std::string tempDir, fw::Dialogs* dialogs)
    : m_tempDir{std::move(tempDir)}, m_dialogs{dialogs}
{
}

appendTool::~appendTool()
{
    for (int i = 0; i < m_temporary.count; ++i) fw::removeFile(m_temporary.paths[i]);
}

void appendTool::box(std::string_view text, std::string_view caption, fw::BoxButtons buttons) const
{
    if (m_dialogs) m_dialogs->messageBox(text, caption, buttons); // the answer is not used
}

std::string appendTool::cutPath(std::string_view path)
{
    return fw::fileNamePart(path);
}

int appendTool::Myfilecopy(const fw::File& source, const std::string& destination)
{
    if (!source.isOpen()) return -1;
    const auto bytes = source.readAll();
    if (!bytes) return -1;
    fw::File out = fw::File::createFresh(destination);
    if (!out || !out.write(*bytes)) {
        fw::removeFile(destination);
        return -1;
    }
    return 1;
}

std::string appendTool::temporaryName(const std::string& recordName, std::uint16_t attribute) const
{
    const bool plain = attribute & (Attribute::Keep_Name | Attribute::Message_File);
    return m_tempDir + recordName + (plain ? "" : ".tmp");
}

int appendTool::ReadinputExeFile(const std::string& path, const std::string& openPath)
{
    const std::string copyName = m_tempDir + cutPath(path) + ".tmp";
    try {
        fw::File exe = fw::File::openRead(openPath);
        if (!exe) {
            box("Error to open exeFile : " + path, "Function Error", fw::BoxButtons::YesNoCancel);
            return -1;
        }
        std::uint16_t version = 0;
        switch (probe(exe, &version)) {
        case Probe::Unreadable:
            throw MalformedBundle{};
        case Probe::Bundle:
            exe.close();
            if (version == kVersion) return read_imbed_file(path, openPath);
            box("Please change append tool to version V1.23.", "Version Not support", fw::BoxButtons::Ok);
            return -2;
        case Probe::NoBundle:
            break;
        }
        if (Myfilecopy(exe, copyName) < 0) {
            box("Myfilecopy function error >> " + copyName, "Function Error", fw::BoxButtons::OkCancel);
            return -1;
        }
        m_temporary.add(copyName, 0, 0);
        return 0;
    } catch (const MalformedBundle&) {
    } catch (const std::bad_alloc&) {
    }
    box("Error to open file in ReadinputExeFile!!!", "File Error", fw::BoxButtons::YesNoCancel);
    return -1;
}

namespace {

enum class Copy { Done, ReadFailed, WriteFailed };

// Copies length bytes at offset of from to the end of to, a piece at a time.
Copy copyRecord(const fw::File& from, std::int64_t offset, std::int64_t length, fw::File& to)
{
    constexpr std::int64_t kPiece = 64 * 1024;
    std::vector<std::byte> piece(static_cast<std::size_t>(std::min(length, kPiece)));
    for (std::int64_t done = 0; done < length;) {
        const auto n = static_cast<std::size_t>(std::min(length - done, kPiece));
        if (!from.readAt(offset + done, std::span{piece.data(), n})) return Copy::ReadFailed;
        if (!to.write(std::span{piece.data(), n})) return Copy::WriteFailed;
        done += static_cast<std::int64_t>(n);
    }
    return Copy::Done;
}

bool copyRange(const fw::File& from, std::int64_t offset, std::int64_t length, fw::File& to)
{
    return copyRecord(from, offset, length, to) == Copy::Done;
}

} // namespace

int appendTool::read_imbed_file(const std::string& path, const std::string& openPath)
{
    const std::string copyName = m_tempDir + cutPath(path) + ".tmp";
    fw::File exe = fw::File::openRead(openPath);
    if (!exe) {
        box("Open Imbeded file : " + path + "error", "Funtion Error", fw::BoxButtons::YesNoCancel);
        return -1;
    }
    try {
        const auto layout = readLayout(exe);
        if (!layout) throw MalformedBundle{};

        fw::File copy = fw::File::createFresh(copyName);
        m_temporary.add(copyName, 0, 0);
        if (!copy) return -1;
        if (!copyRange(exe, 0, layout->imageLength(), copy)) throw MalformedBundle{};
        copy.close();

        std::int64_t total = 0;
        RecordWalker walker{exe, *layout};
        for (int i = 0; i < layout->count; ++i) {
            const auto header = walker.next();
            if (!header) throw MalformedBundle{};
            // Checked before anything of the 65th record is written: its file would have no row.
            if (m_embedded.count >= kMaxRecords) {
                box("Max Add File is 64", "Add AppendFile Error", fw::BoxButtons::YesNoCancel);
                return -1;
            }
            const std::string tempPath = temporaryName(header->name, header->attribute);
            // A name that is not a plain file name gets no row: the destructor deletes what rows name.
            fw::File file = isPlainFileName(header->name) ? fw::File::createFresh(tempPath) : fw::File{};
            if (!file) {
                box("File create error " + tempPath, "File create error", fw::BoxButtons::OkCancel);
                return -1;
            }
            m_temporary.add(tempPath, header->attribute, 1);

            // Copied piece by piece, so an image of any size costs no more memory than a small one.
            const std::int64_t length = walker.dataLength();
            switch (copyRecord(exe, walker.dataOffset(), length, file)) {
            case Copy::Done:
                break;
            case Copy::ReadFailed:
                throw MalformedBundle{};
            case Copy::WriteFailed:
                if (m_dialogs)
                    m_dialogs->dialog(fw::DialogType::Error, "Write tmp file Error. Check Disk space !",
                                      fw::DialogButtons::Yes);
                return -1;
            }
            total += length;
            file.close();
            const bool message = header->attribute & Attribute::Message_File;
            if (message && m_startMessage) {
                const auto data = exe.readAt(walker.dataOffset(), static_cast<std::size_t>(length));
                if (!data) throw MalformedBundle{};
                m_startMessage(header->attribute, *data);
            }

            const int row = m_embedded.count++;
            m_embedded.names[row] = header->name;
            m_embedded.kinds[row] = message ? 2 : 1;
            m_embedded.attributes[row] = header->attribute;
            m_embedded.sizes[row] = static_cast<std::int32_t>(length);
        }
        return static_cast<int>(std::min<std::int64_t>(total, INT_MAX));
    } catch (const MalformedBundle&) {
    } catch (const std::bad_alloc&) {
    }
    box("Error to open file in read_imbed_file function", "File Error", fw::BoxButtons::OkCancel);
    return -1;
}

int appendTool::ListEmbedFiles(fw::Log& log) const
{
    for (int i = 0; i < m_temporary.count; ++i) {
        log.addLine("Imbed file " + std::to_string(i) + " : " + m_temporary.paths[i]);
        log.addLine("Imbed File Attrib : " +
                    std::to_string(static_cast<std::int16_t>(m_temporary.attributes[i])));
    }
    return m_temporary.count;
}

int appendTool::CountUpgradeFiles() const
{
    int count = 0;
    for (int i = 0; i < m_temporary.count; ++i) {
        if (m_temporary.attributes[i] & Attribute::Upgrade_File) ++count;
    }
    return count;
}

void appendTool::CopyFileList(EmbedFile_List& destination) const
{
    destination = m_temporary;
}

std::string appendTool::SectionList() const
{
    std::string letters;
    for (int i = 0; i < m_temporary.count; ++i) {
        const std::string letter = SectionLetter(Attribute::sectionOf(m_temporary.attributes[i]));
        if (!letter.empty() && letters.find(letter) == std::string::npos) letters += letter;
    }
    return letters;
}
