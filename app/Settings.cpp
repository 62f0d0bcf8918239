// The settings file control.cfg: found among the window's files, read into the settings record and
// applied; the result tells the activation step how to start.
#include "app/Mainunit.h"

#include "discovery/Refresh.h"
#include "platform/File.h"

#include <cstring>
#include <iterator>

namespace {

// A text field of the record, read up to its zero byte or the end of its field.
template <std::size_t N>
std::string textOf(const char (&field)[N])
{
    return fieldText(field, N);
}

} // namespace

int TUpgradeForm1::ApplyControlSettings()
{
    ControlSettings& record = settings.record;
    for (int i = 0; i < fileList.count; ++i) {
        if (!(fileList.attributes[i] & Attribute::Control_File)) continue;
        const std::string& path = fileList.paths[i];
        const fw::File file = fw::File::openRead(path);
        const auto length = file.size();
        const auto bytes =
            length ? file.readAt(0, static_cast<std::size_t>(std::min<std::int64_t>(*length, 224)))
                   : std::nullopt;
        if (!bytes) {
            m_view.messageBox("Read file : " + path + " error!", "Function Error",
                              fw::BoxButtons::YesNoCancel);
            return -1;
        }
        std::memcpy(&record, bytes->data(), bytes->size()); // a shorter file keeps the rest as it was

        if (RefreshForm)
            RefreshForm->SetSearchConfig(record.flags, textOf(record.romID),
                                         {textOf(record.searchAddr1), textOf(record.searchAddr2),
                                          textOf(record.searchAddr3), textOf(record.searchAddr4)});
        const std::string dstIP = textOf(record.dstIP);
        m_view.setText(MainControl::IPComBox, dstIP);
        if (!m_view.text(MainControl::IPComBox).empty()) ProbeAddress(dstIP);
        m_view.addLine("Set DstIP = " + dstIP);
        const std::string passWd = textOf(record.passWd);
        if (!passWd.empty()) m_givenPassword = passWd;
        m_view.setText(MainControl::PasswordComBox, passWd);
        m_view.addLine("Set PassWd = " + passWd);
        m_view.addLine("Set ROMID = " + textOf(record.romID));
        if (const std::string caption = textOf(record.caption); caption != "default")
            m_view.setCaption(caption);
        if (record.timeOut != 0) {
            timeOutTicks = static_cast<std::uint16_t>(record.timeOut); // a negative byte gives 65536 + it
            m_view.addLine("Set Time out value to : " + std::to_string(record.timeOut));
        }
        // 0 keeps the default order, 1-3 put HTTP, FTP or TFTP first; other values change nothing.
        static constexpr const char* kOrderLines[] = {
            "default sequence of upgrade method used.", "HTTP upgrade method first used.",
            "FTP upgrade method first used.", "TFTP upgrade method first used."};
        if (record.methodOrder < std::size(kOrderLines)) {
            m_view.addLine(kOrderLines[record.methodOrder]);
            orderPreset = record.methodOrder != 0;
        }
        if (record.flags & 0x10) {
            m_view.addLine("Program release to User");
        } else {
            m_view.addLine("Program release to Factory");
            factoryRelease = 1;
        }
        if (record.flags & 0x20) m_view.addLine("Enabled Log state by initial setting");
        if (record.flags & 0x40) {
            sectionCheck = 1;
            m_view.addLine("Enabled Section ID check.");
        } else {
            m_view.addLine("Disnabled Section ID check.");
        }
        sectionList = bundle ? bundle->SectionList() : std::string{};
        m_view.addLine("Total section list : " + sectionList);

        const bool deviceGiven = !m_view.text(MainControl::IPComBox).empty();
        const std::string initFile = textOf(record.initFile);
        switch (record.method) {
        case 2: // put
            if (!initFile.empty()) {
                PresetFile(initFile, " ;");
                m_view.addLine("Initial put upgrade file : " + m_view.text(MainControl::UpdateFileName));
                return deviceGiven ? 1 : 0;
            }
            if (filesPreset == 0) return deviceGiven ? 3 : 0;
            return deviceGiven ? 1 : 0;
        case 1: { // get
            const std::string name =
                fieldText(record.initFile + GetParameters::kFileName, GetParameters::kFileNameWidth);
            if (!name.empty()) {
                filesPreset = 1;
                m_view.setText(MainControl::UpdateFileName, name + " ;");
                return 2;
            }
            if (filesPreset == 0) return 0;
            continue; // the next settings file decides
        }
        case 4: // set
            if (!initFile.empty()) {
                PresetFile(initFile, " ;");
                m_view.addLine("Initial set upgrade file : " + m_view.text(MainControl::UpdateFileName));
            }
            return 3;
        default:
            m_view.messageBox("Not Support Method Error", "Function Waring", fw::BoxButtons::OkCancel);
            m_view.addLine("Not Support Method : " + std::string(1, static_cast<char>(record.method)));
            continue;
        }
    }
    return 0;
}
