#include "tools/fwbundle/BundleTool.h"

#include "bundle/BundleWriter.h"
#include "platform/File.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int kUsageError = 2;
constexpr int kFailed = 1;

const char* const kUsage = R"(Usage: fwbundle pack -o OUT PROGRAM FILE:ATTR...
       fwbundle list FILE

pack   copies PROGRAM to OUT and appends one record per FILE, named after the file's
       base name (at most 31 characters), with the attribute word ATTR (0x080D for a
       firmware image sent by every method; decimal or 0x hexadecimal), at most 64.
list   prints the records of a bundled program: index, attribute word, data size, name.
)";

struct Failure {
    int status;
    std::string text;
};

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::uint16_t parseAttribute(const std::string& text, const std::string& item)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || value > 0xFFFF || text[0] == '-')
        throw Failure{kUsageError, "'" + item + "': the attribute word must be a number from 0 to 0xFFFF"};
    return static_cast<std::uint16_t>(value);
}

std::vector<std::byte> readWhole(const std::string& path)
{
    const fw::File file = fw::File::openRead(path);
    auto bytes = file ? file.readAll() : std::nullopt;
    if (!bytes) throw Failure{kFailed, "cannot read '" + path + "'"};
    return *bytes;
}

std::string hex4(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

int pack(const std::vector<std::string>& args, std::ostream& out)
{
    std::string output;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size()) throw Failure{kUsageError, "-o needs a file name"};
            output = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    if (output.empty() || rest.empty()) throw Failure{kUsageError, "pack needs -o OUT and a PROGRAM"};
    const std::string program = rest.front();
    rest.erase(rest.begin());
    if (rest.size() > static_cast<std::size_t>(bundle::kMaxRecords))
        throw Failure{kUsageError,
                      "at most 64 files fit in a bundle, " + std::to_string(rest.size()) + " given"};

    std::vector<bundle::BundleRecord> records;
    for (const std::string& item : rest) {
        const auto colon = item.rfind(':');
        if (colon == std::string::npos) throw Failure{kUsageError, "'" + item + "': expected FILE:ATTR"};
        const std::string path = item.substr(0, colon);
        const std::uint16_t attribute = parseAttribute(item.substr(colon + 1), item);
        const std::string name = baseName(path);
        if (name.empty() || name == "." || name == "..")
            throw Failure{kUsageError, "'" + path + "' does not name a file"};
        if (name.size() >= static_cast<std::size_t>(bundle::kNameField))
            throw Failure{kUsageError, "'" + name + "': a record name holds at most 31 characters"};
        records.push_back({name, attribute, readWhole(path)});
    }

    {
        const fw::File file = fw::File::openRead(program);
        if (!file) throw Failure{kFailed, "cannot read '" + program + "'"};
        if (bundle::probe(file) != bundle::Probe::NoBundle)
            throw Failure{kFailed,
                          "'" + program + "' already carries a bundle; start from the plain program"};
    }
    const auto image = readWhole(program);
    const auto bytes = bundle::composeBundle(image, records);

    // Written beside the output and renamed into place, so a failed run leaves no output file.
    const std::string partial = output + ".partial";
    const unsigned mode = fw::fileMode(program).value_or(0755);
    fw::File file = fw::File::createTruncated(partial, mode);
    if (!file || !file.write(bytes) || !file.setMode(mode)) {
        fw::removeFile(partial);
        throw Failure{kFailed, "cannot write '" + output + "'"};
    }
    file.close();
    if (!fw::renameFile(partial, output)) {
        fw::removeFile(partial);
        throw Failure{kFailed, "cannot write '" + output + "'"};
    }
    out << "fwbundle: wrote " << output << " with " << records.size() << " record(s), " << bytes.size()
        << " bytes\n";
    return 0;
}

int list(const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() != 1) throw Failure{kUsageError, "list needs exactly one FILE"};
    const fw::File file = fw::File::openRead(args[0]);
    if (!file) throw Failure{kFailed, "cannot read '" + args[0] + "'"};
    std::uint16_t version = 0;
    const auto found = bundle::probe(file, &version);
    if (found == bundle::Probe::NoBundle) throw Failure{kFailed, "'" + args[0] + "' carries no bundle"};
    if (found == bundle::Probe::Unreadable)
        throw Failure{kFailed, "'" + args[0] + "': the trailer is cut short"};
    if (version != bundle::kVersion)
        throw Failure{kFailed, "'" + args[0] + "': bundle version " + std::to_string(version) + ", not 4"};
    const auto layout = bundle::readLayout(file);
    if (!layout) throw Failure{kFailed, "'" + args[0] + "': the trailer does not fit the file"};
    bundle::RecordWalker walker{file, *layout};
    for (int i = 0; i < layout->count; ++i) {
        const auto header = walker.next();
        if (!header)
            throw Failure{kFailed, "'" + args[0] + "': record " + std::to_string(i) + " is malformed"};
        out << i << ' ' << hex4(header->attribute) << ' ' << walker.dataLength() << ' ' << header->name
            << '\n';
    }
    return 0;
}

} // namespace

int runBundleTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty()) {
        err << kUsage;
        return kUsageError;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        out << kUsage;
        return 0;
    }
    try {
        const std::vector<std::string> rest{args.begin() + 1, args.end()};
        if (args[0] == "pack") return pack(rest, out);
        if (args[0] == "list") return list(rest, out);
        throw Failure{kUsageError, "unknown command '" + args[0] + "'"};
    } catch (const Failure& failure) {
        err << "fwbundle: " << failure.text << '\n';
        if (failure.status == kUsageError) err << "Try 'fwbundle --help' for more information.\n";
        return failure.status;
    }
}
