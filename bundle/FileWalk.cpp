#include "bundle/FileWalk.h"

#include "bundle/BundleFormat.h"
#include "bundle/SectionLetters.h"
#include "platform/File.h"

#include <stdexcept>

namespace {

std::string upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string signedWord(std::uint16_t attribute)
{
    return std::to_string(static_cast<std::int16_t>(attribute));
}

} // namespace

void AddSectionLetter(std::string& sectionLetters, std::uint16_t attribute)
{
    const std::string letter = SectionLetter(Attribute::sectionOf(attribute));
    if (!letter.empty() && sectionLetters.find(letter) == std::string::npos) sectionLetters += letter;
}

bool moduleNameMatches(const std::string& module, const std::string& path)
{
    return upper(fw::fileNamePart(path)).starts_with(upper(module));
}

FileWalk::FileWalk(WalkMethod method, const EmbedFileRows& list, fw::Log& log, fw::Dialogs& dialogs,
                   ShowMessage show)
    : m_method{method}, m_list{list}, m_log{log}, m_dialogs{dialogs}, m_show{std::move(show)}
{
}

bool FileWalk::ownBit(std::uint16_t attribute) const
{
    return attribute & (m_method == WalkMethod::Tftp ? Attribute::TFTP_Check : Attribute::Normal_Check);
}

void FileWalk::line(bool write, const std::string& text)
{
    if (write) m_log.addLine(text);
}

int FileWalk::next(int startRow, bool logSwitch, const std::string& module, WalkProgress& progress)
{
    const bool tftp = m_method == WalkMethod::Tftp;
    const bool verbose = tftp || logSwitch; // the lines a silent call leaves out
    const std::string ignored = tftp ? "Ignore Upgrade File for TFTP check disable >>"
                                     : "Ignore Upgrade File for Normal check disable >>";
    if (!tftp) line(logSwitch, "File Count : " + std::to_string(m_list.count));
    for (int row = std::max(startRow, 0); row < m_list.count; ++row) {
        const std::uint16_t attribute = m_list.attributes[row];
        const std::string& path = m_list.paths[row];
        if (!tftp) line(logSwitch, "i= " + std::to_string(row));
        line(verbose, "File Attribute : " + signedWord(attribute));

        if (attribute & Attribute::Message_File) {
            if (!verbose) continue; // a silent call passes message files over
            const fw::File file = fw::File::openRead(path);
            if (!file) {
                m_log.addLine("Message file onen error : " + path);
                if (m_method == WalkMethod::Http) m_resultText = "Message file onen error : " + path;
                return kWalkMessageUnreadable;
            }
            const auto bytes = file.readAll();
            m_log.addLine("Show Message to User : " + path);
            try {
                if (!bytes) throw std::runtime_error{"read"};
                if (m_show) m_show(attribute, *bytes, tftp ? kTftpMode : kFtpMode, module, path);
            } catch (const std::exception&) {
                m_dialogs.messageBox("Show and Msg File read error", "File Error", fw::BoxButtons::OkCancel);
            }
            continue;
        }

        if (attribute & Attribute::Upgrade_File) {
            const bool defaultCheck = attribute & Attribute::Default_Check;
            const bool romIdCheck = attribute & Attribute::RomID_Check;
            // HTTP tests its bit only for rows that have one of the two checks; FTP and TFTP first.
            const bool testBit = m_method == WalkMethod::Http ? (defaultCheck || romIdCheck) : true;
            if (testBit && !ownBit(attribute)) {
                m_log.addLine(ignored + path); // written by silent calls too
                continue;
            }
            bool chosen = false;
            if (defaultCheck && romIdCheck) {
                if (progress.moduleMatched) {
                    line(verbose, "Default Upgrade File Ignore >>" + path);
                    progress.moduleMatched = false;
                } else {
                    line(verbose, "Put Default Upgrade File >>" + path);
                    chosen = true;
                }
            } else if (defaultCheck) {
                line(verbose, "Put Upgrade File without IDCheck >>" + path);
                chosen = true;
            } else if (romIdCheck) {
                if (moduleNameMatches(module, path)) {
                    progress.moduleMatched = true;
                    line(verbose, "Put Upgrade File >>" + path);
                    chosen = true;
                } else {
                    line(verbose, "Module name different. Ignore Upgrade File >>" + path);
                }
            } else {
                line(verbose, "Unkown Attribute. Ignore Upgrade File >>" + path);
            }
            if (!chosen) continue;
            AddSectionLetter(progress.sectionLetters, attribute);
            if (tftp) ++progress.putCount;
            return row;
        }

        if (attribute != 0) line(verbose, "Unknow File Attribute -> " + signedWord(attribute));
    }
    const bool nothingAtAll =
        tftp ? (startRow == 0 || progress.putCount == 0) : (startRow == 0 && progress.currentIndex == 0);
    if (!nothingAtAll) return kWalkNothingFurther;
    if (!tftp) m_resultText = "ignore all files error";
    return kWalkNothingAtAll;
}

int FileWalk::lookAhead(int startRow, const std::string& module, const WalkProgress& progress)
{
    WalkProgress copy = progress;
    return next(startRow, false, module, copy);
}

std::int64_t FileWalk::length(const std::string& module, WalkProgress& progress)
{
    progress.moduleMatched = false;
    std::int64_t total = 0;
    for (int row = 0; row < m_list.count; ++row) {
        const std::uint16_t attribute = m_list.attributes[row];
        if (!(attribute & Attribute::Upgrade_File) || (attribute & Attribute::Message_File) ||
            !ownBit(attribute))
            continue;
        const bool defaultCheck = attribute & Attribute::Default_Check;
        const bool romIdCheck = attribute & Attribute::RomID_Check;
        bool counted = false;
        if (defaultCheck && romIdCheck) {
            counted = !progress.moduleMatched;
            progress.moduleMatched = false;
        } else if (defaultCheck) {
            counted = true;
        } else if (romIdCheck && moduleNameMatches(module, m_list.paths[row])) {
            progress.moduleMatched = true;
            counted = true;
        }
        if (!counted) continue;
        const auto size = fw::File::openRead(m_list.paths[row]).size();
        if (!size) {
            const std::string text = "File Seek error : " + m_list.paths[row];
            if (m_method == WalkMethod::Tftp) {
                m_log.addLine(text);
            } else {
                m_resultText = text;
            }
            return -1;
        }
        total += *size;
    }
    m_log.addLine("Upgrade File Length : " + std::to_string(total));
    return total;
}
