// The positional command line: put|set|get, device address, password, ROM ID and the mode's rest.
#include "app/Mainunit.h"

#include "bundle/BundleFormat.h"

void TUpgradeForm1::ApplyCommandLine()
{
    const std::vector<std::string>& args = m_context.args;
    if (args.size() < 4) {
        settings.paramMode = 0;
        return;
    }
    settings.paramMode = 1;

    if (args[1] == "null") {
        m_view.setText(MainControl::IPComBox, "");
        m_view.addLine("Set DST IP = null in parameter input");
    } else {
        m_view.setText(MainControl::IPComBox, args[1]);
        m_view.addLine("Set DstIP = " + args[1] + " in parameter input");
    }
    if (args[2] == "null") {
        m_view.setText(MainControl::PasswordComBox, "");
        m_view.addLine("Set password = null in parameter input");
    } else {
        m_view.setText(MainControl::PasswordComBox, args[2]);
        m_givenPassword = args[2];
        m_view.addLine("Set password = " + args[2] + " in parameter input");
    }
    if (args[3] == "null") {
        cmdRomID.clear();
        m_view.addLine("Set ROMID = null in parameter input");
    } else {
        cmdRomID = args[3];
        m_view.addLine("Set ROMID = " + args[3] + " in parameter input");
    }

    const std::string mode = lowerCase(args[0]);
    if (mode == "put" || mode == "set") {
        if (mode == "put") settings.putPending = 1;
        if (args.size() == 5) {
            if (lowerCase(args[4]) == "log") {
                settings.logByParam = 1;
            } else {
                PresetFile(args[4], ";");
            }
        } else if (args.size() == 6) {
            if (lowerCase(args[4]) != "log") PresetFile(args[4], ";");
            if (lowerCase(args[5]) == "log") {
                settings.logByParam = 1;
            } else {
                CommandLineError();
            }
        } else if (args.size() > 6) {
            CommandLineError();
        }
    } else if (mode == "get" && args.size() == 7 && GetParametersFit(args[4], args[5], args[6])) {
        char* area = settings.record.initFile;
        using namespace GetParameters;
        copyToField(area + kOffset, kOffsetWidth, args[4]);
        copyToField(area + kLength, kLengthWidth, args[5]);
        copyToField(area + kFileName, kFileNameWidth, args[6]);
        m_view.setText(MainControl::UpdateFileName, args[6] + ";");
        settings.getPending = 1;
        m_view.setCaption("Device ROM data download V1.1.0");
    } else {
        CommandLineError();
    }
}

// A cut name would save the data to another file, a cut number fetch other data: too long is refused.
bool TUpgradeForm1::GetParametersFit(const std::string& offset, const std::string& length,
                                     const std::string& file)
{
    using namespace GetParameters;
    const struct {
        const std::string& text;
        int width;
        const char* what;
    } fields[] = {{offset, kOffsetWidth, "offset"},
                  {length, kLengthWidth, "length"},
                  {file, kFileNameWidth, "local file name"}};
    for (const auto& field : fields) {
        if (field.text.size() < static_cast<std::size_t>(field.width)) continue;
        m_view.addLine("The " + std::string{field.what} + " holds at most " +
                       std::to_string(field.width - 1) + " characters: " + field.text);
        return false;
    }
    return true;
}

void TUpgradeForm1::PresetFile(const std::string& path, std::string_view separator)
{
    filesPreset = 1;
    fileList.clear();
    fileList.add(path, Attribute::kChosenFile, 1);
    m_view.setText(MainControl::UpdateFileName, path + std::string{separator});
}

void TUpgradeForm1::CommandLineError()
{
    m_view.setText(MainControl::IPComBox, "");
    m_view.setText(MainControl::PasswordComBox, "");
    m_view.setText(MainControl::UpdateFileName, "");
    cmdRomID = "Vantik";
    m_givenPassword.reset();
    settings.paramMode = 0;
    settings.logByParam = 0;
    settings.getPending = 0;
    settings.putPending = 0;
    m_view.addLine("Clear all setting by parameter input error.");
}
