#include "tools/fwbundle/BundleTool.h"

#include "bundle/BundleWriter.h"
#include "platform/File.h"
#include "tools/fwbundle/ImageManifest.h"
#include "tools/fwbundle/ManifestRecords.h"
#include "tools/fwbundle/MessageManifest.h"
#include "tools/fwbundle/SettingsManifest.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int kUsageError = 2;
constexpr int kFailed = 1;

const char* const kUsage = R"(Usage: fwbundle pack -o OUT PROGRAM FILE:ATTR...
       fwbundle pack -o OUT PROGRAM --manifest MANIFEST [FILE:ATTR...]
       fwbundle list FILE

pack   copies PROGRAM to OUT and appends one record per FILE, named after the file's
       base name (at most 31 characters), with the attribute word ATTR (0x080D for a
       firmware image sent by every method; decimal or 0x hexadecimal), at most 64.
       With --manifest, the records the manifest names come first, in its order:
       each [image] with its file, each [message] with its text, and the [settings]
       section written as control.cfg.
list   prints the records of a bundled program: index, attribute word, data size and
       name, below each the attribute word in manifest words, then each settings and
       message record decoded as a manifest's [settings] or [message] section (of a
       message's text only its length, and whether it is RTF).

A manifest holds '# comment' lines, '[section]' headers and 'key = value' lines; a
value runs to the end of its line, or is "quoted" with the escapes \" \\ \xHH.
Defaults in brackets; paths start from the manifest's folder.
  [image]     file = PATH   name = RECORD-NAME [the file's base name]
              methods = http ftp tftp | http ftp | tftp [all]
              models = any | matching | both [any]   section = 0-15 [0]
              keep-name = yes | no [no]
  [settings]  method = get | put | set   address, password, rom-id = TEXT [empty]
              file = TEXT (put and set) [empty]
              get-file = NAME, get-offset = BYTES, get-length = BYTES (get)
              probes = normal boot crash default | all | none [all]
              release = user | factory [user]   log = shown | hidden [hidden]
              section-check = on | off [off]   caption = TEXT [default]
              search-address-1 ... search-address-4 = TEXT [default]
              timeout = -128 to 127 seconds, 0 for the usual limit [0]
              method-order = default | http | ftp | tftp [default]
  [message]   file = PATH (the text, RTF or plain, at most 65535 bytes)
              name = RECORD-NAME [the file's base name]
              message-name = TEXT, at most 15 characters [the record name]
              caption = TEXT, at most 63 characters [empty]
              live-time = 0 to 8 seconds, one decimal allowed (0.5), 0 keeping the
                window until it is closed; the program stops at 8, more is refused [0]
              shown = start | transfers | http-ftp | tftp (at program start, during
                every transfer, during HTTP and FTP ones, during TFTP ones)
              models = any | matching | both [any]; matching: during transfers, to
                devices whose module name begins the record name; at start, only with
                a message-name that begins with VELT and goes on after it
              background = #RRGGBB [#FFFFFF]   text = steady | blinking [steady]
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

// One FILE:ATTR item of the command line, its file read.
bundle::BundleRecord rawRecord(const std::string& item)
{
    const auto colon = item.rfind(':');
    if (colon == std::string::npos) throw Failure{kUsageError, "'" + item + "': expected FILE:ATTR"};
    const std::string path = item.substr(0, colon);
    const std::uint16_t attribute = parseAttribute(item.substr(colon + 1), item);
    const std::string name = baseName(path);
    if (name.empty() || name == "." || name == "..")
        throw Failure{kUsageError, "'" + path + "' does not name a file"};
    if (name.size() >= static_cast<std::size_t>(bundle::kNameField))
        throw Failure{kUsageError, "'" + name + "': a record name holds at most 31 characters"};
    return {name, attribute, readWhole(path)};
}

// The records a manifest names, its images read from paths relative to its folder.
std::vector<bundle::BundleRecord> recordsOfManifest(const std::string& manifest)
{
    const auto bytes = readWhole(manifest);
    auto planned = fwbundle::manifestRecords({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    if (const auto* error = std::get_if<fwbundle::ManifestError>(&planned)) {
        const std::string where = error->line > 0 ? manifest + ":" + std::to_string(error->line) : manifest;
        throw Failure{kUsageError, where + ": " + error->text};
    }
    const auto slash = manifest.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : manifest.substr(0, slash + 1);
    std::vector<bundle::BundleRecord> records;
    for (auto& record : std::get<std::vector<fwbundle::ManifestRecord>>(planned)) {
        if (!record.path.empty()) {
            const std::string path = record.path.front() == '/' ? record.path : folder + record.path;
            const fw::File file = fw::File::openRead(path);
            auto data = file ? file.readAll() : std::nullopt;
            if (!data)
                throw Failure{kFailed, manifest + ":" + std::to_string(record.pathLine) + ": cannot read '" +
                                           path + "'"};
            if (!(record.attribute & Attribute::Message_File)) {
                record.data = std::move(*data);
            } else if (data->size() > fwbundle::kMaxMessageText) {
                throw Failure{kUsageError, manifest + ":" + std::to_string(record.pathLine) + ": file: '" +
                                               path + "' holds " + std::to_string(data->size()) +
                                               " bytes; a message text holds at most 65535"};
            } else {
                fwbundle::appendMessageText(record.data, *data);
            }
        }
        records.push_back({std::move(record.name), record.attribute, std::move(record.data)});
    }
    return records;
}

// A FILE:ATTR item after a manifest may neither reuse a record name nor add a second settings record.
void checkJoinsManifest(const std::vector<bundle::BundleRecord>& records, const bundle::BundleRecord& item)
{
    for (const bundle::BundleRecord& record : records) {
        if (record.name == item.name)
            throw Failure{kUsageError, "'" + item.name + "': a record of this name is already in the bundle"};
        if (record.attribute & item.attribute & Attribute::Control_File)
            throw Failure{kUsageError, "'" + item.name + "': the bundle already holds a settings record"};
    }
}

void writeBundle(const std::string& program, const std::string& output,
                 const std::vector<bundle::BundleRecord>& records, std::ostream& out)
{
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
}

int pack(const std::vector<std::string>& args, std::ostream& out)
{
    std::string output;
    std::optional<std::string> manifest;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size()) throw Failure{kUsageError, "-o needs a file name"};
            output = args[++i];
        } else if (args[i] == "--manifest") {
            if (i + 1 >= args.size()) throw Failure{kUsageError, "--manifest needs a file name"};
            if (manifest) throw Failure{kUsageError, "--manifest is given twice"};
            manifest = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    if (output.empty() || rest.empty()) throw Failure{kUsageError, "pack needs -o OUT and a PROGRAM"};
    const std::string program = rest.front();
    rest.erase(rest.begin());

    std::vector<bundle::BundleRecord> records = manifest ? recordsOfManifest(*manifest) : decltype(records){};
    const std::size_t count = records.size() + rest.size();
    if (count > static_cast<std::size_t>(bundle::kMaxRecords))
        throw Failure{kUsageError, "at most 64 files fit in a bundle, " + std::to_string(count) + " given"};
    for (const std::string& item : rest) {
        bundle::BundleRecord record = rawRecord(item);
        if (manifest) checkJoinsManifest(records, record);
        records.push_back(std::move(record));
    }
    writeBundle(program, output, records, out);
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
    std::string decoded; // the settings and message records, printed after the record lines
    for (int i = 0; i < layout->count; ++i) {
        const auto header = walker.next();
        if (!header)
            throw Failure{kFailed, "'" + args[0] + "': record " + std::to_string(i) + " is malformed"};
        out << i << ' ' << hex4(header->attribute) << ' ' << walker.dataLength() << ' ' << header->name
            << '\n';
        out << "    " << fwbundle::describeAttribute(header->attribute) << '\n';
        const bool settings = header->attribute & Attribute::Control_File;
        if (!settings && !(header->attribute & Attribute::Message_File)) continue;

        const std::string unreadable = "'" + args[0] + "': record " + std::to_string(i) + " cannot be read";
        decoded += "\n# record " + std::to_string(i) + ", " + header->name + "\n";
        if (!settings) {
            std::vector<std::byte> lead(static_cast<std::size_t>(
                std::min<std::int64_t>(walker.dataLength(), fwbundle::kMessageLead)));
            if (!file.readAt(walker.dataOffset(), lead)) throw Failure{kFailed, unreadable};
            decoded += fwbundle::decodeMessage(header->name, header->attribute, lead, walker.dataLength());
        } else if (walker.dataLength() != static_cast<std::int64_t>(fwbundle::kSettingsSize)) {
            decoded +=
                "# " + std::to_string(walker.dataLength()) + " bytes, not the 224 of a settings record\n";
        } else {
            fwbundle::SettingsRecord record;
            if (!file.readAt(walker.dataOffset(), std::as_writable_bytes(std::span{record})))
                throw Failure{kFailed, unreadable};
            decoded += fwbundle::decodeSettings(record);
        }
    }
    out << decoded;
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
