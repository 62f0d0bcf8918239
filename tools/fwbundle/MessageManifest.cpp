#include "tools/fwbundle/MessageManifest.h"

#include "bundle/BundleFormat.h"
#include "tools/fwbundle/ImageManifest.h"
#include "tools/fwbundle/ManifestValues.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace fwbundle {
namespace {

// Offsets into the header; everything else up to Text_Length is reserved and zero.
constexpr std::size_t kLiveTime = 80;
constexpr std::size_t kFtpCheck = 82;
constexpr std::size_t kTftpCheck = 83;
constexpr std::size_t kReserved = 84; // 84, 85-116 and 117
constexpr std::size_t kTextLength = 118;
constexpr std::size_t kBackColor = 120;
constexpr std::size_t kSteadyText = 124;

// The program shows a message window 8 seconds at the longest: a longer time acts as this.
constexpr unsigned kLongestLiveTime = 80; // tenths of a second

struct TextField {
    std::string_view key;
    std::size_t offset;
    std::size_t width;
};
constexpr TextField kMessageName{"message-name", 0, 16};
constexpr TextField kCaption{"caption", 16, 64};

// shown = names the two check bytes: FTP (HTTP and FTP transfers) in bit 0, TFTP in bit 1.
constexpr unsigned kFtp = 1, kTftp = 2;
constexpr unsigned kStart = kFtp | kTftp;
constexpr ManifestWord kShown[] = {{"start", kStart}, {"transfers", 0}, {"http-ftp", kFtp}, {"tftp", kTftp}};
constexpr ManifestWord kText[] = {{"blinking", 0}, {"steady", 1}};
constexpr unsigned kModelMask = Attribute::Default_Check | Attribute::RomID_Check;

constexpr std::string_view kKeys[] = {"file",  "name",   "message-name", "caption", "live-time",
                                      "shown", "models", "background",   "text"};

// Shown at start to a model only through RomID_Check, a message needs a name that continues after this.
constexpr std::string_view kStartPrefix = "VELT";

bool startNameMatches(std::string_view messageName)
{
    return messageName.size() > kStartPrefix.size() && messageName.starts_with(kStartPrefix);
}

bool digit(char c)
{
    return c >= '0' && c <= '9';
}

void storeLe16(MessageHeader& header, std::size_t at, unsigned value)
{
    header[at] = static_cast<std::byte>(value & 0xFF);
    header[at + 1] = static_cast<std::byte>((value >> 8) & 0xFF);
}

template <typename T>
std::optional<ManifestError> failureOf(const Parsed<T>& parsed)
{
    if (const auto* error = std::get_if<ManifestError>(&parsed)) return *error;
    return std::nullopt;
}

std::optional<ManifestError> storeText(MessageHeader& header, const ManifestEntry* entry,
                                       std::string_view text, const TextField& field)
{
    if (text.size() >= field.width)
        return errorAt(*entry, "at most " + std::to_string(field.width - 1) + " characters fit, " +
                                   std::to_string(text.size()) + " given");
    std::memcpy(header.data() + field.offset, text.data(), text.size());
    return std::nullopt;
}

// Seconds with at most one decimal, "5" or "0.5", from 0 to 8; the result counts tenths.
Parsed<unsigned> parseLiveTime(const ManifestEntry& entry)
{
    const std::string_view text = entry.value;
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view tenth = point < text.size() ? text.substr(point + 1) : "";
    if (whole.empty() || !std::all_of(whole.begin(), whole.end(), digit) ||
        (point < text.size() && (tenth.size() != 1 || !digit(tenth[0]))))
        return errorAt(entry, "expected seconds from 0 to 8 with at most one decimal, as 5 or 0.5, "
                              "0 keeping the window until it is closed; not '" +
                                  entry.value + "'");
    unsigned tenths = 0;
    for (const char c : whole) tenths = std::min(tenths * 10 + static_cast<unsigned>(c - '0'), 100000u);
    tenths = tenths * 10 + (tenth.empty() ? 0 : static_cast<unsigned>(tenth[0] - '0'));
    if (tenths > kLongestLiveTime)
        return errorAt(entry, "the program shows a message 8 seconds at the longest, not " + entry.value);
    return tenths;
}

// "#RRGGBB" as Back_Color, 0x00BBGGRR.
Parsed<std::uint32_t> parseColour(const ManifestEntry& entry)
{
    const std::string& text = entry.value;
    std::uint32_t rgb = 0;
    const auto hex = [](char c) { return digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    if (text.size() != 7 || text[0] != '#' || !std::all_of(text.begin() + 1, text.end(), hex) ||
        std::from_chars(text.data() + 1, text.data() + text.size(), rgb, 16).ec != std::errc{})
        return errorAt(entry, "expected #RRGGBB, six hexadecimal digits, not '" + text + "'");
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

std::string byteText(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string hexText(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string tenthsText(unsigned tenths)
{
    const std::string whole = std::to_string(tenths / 10);
    return tenths % 10 == 0 ? whole : whole + '.' + std::to_string(tenths % 10);
}

// The text of a field: up to its zero byte, or the whole field when it has none.
std::string_view textOf(std::span<const std::byte> header, const TextField& field)
{
    const char* start = reinterpret_cast<const char*>(header.data()) + field.offset;
    return {start, static_cast<std::size_t>(std::find(start, start + field.width, '\0') - start)};
}

void writeText(std::string& out, std::span<const std::byte> header, const TextField& field)
{
    const std::string_view text = textOf(header, field);
    if (text.size() == field.width)
        out += "# " + std::string{field.key} + " fills its " + std::to_string(field.width) +
               " bytes without a zero byte\n";
    out += std::string{field.key} + (text.empty() ? " =\n" : " = " + quoteValue(text) + '\n');
}

// A flag byte counts as set when it is not zero.
bool flagOf(std::span<const std::byte> header, std::size_t at, std::string_view field, std::string& out)
{
    const unsigned value = std::to_integer<unsigned>(header[at]);
    if (value > 1) out += "# " + std::string{field} + " byte " + byteText(value) + " counts as set\n";
    return value != 0;
}

} // namespace

Parsed<MessageEntry> encodeMessage(const ManifestSection& section)
{
    if (auto unknown = unknownKey(section, kKeys)) return *unknown;
    auto source = recordSource(section);
    if (auto failure = failureOf(source)) return *failure;
    auto& [path, pathLine, name, nameLine] = std::get<RecordSource>(source);
    MessageEntry message{std::move(path), pathLine, std::move(name), nameLine, Attribute::Message_File, {}};

    // Msg_Name is the record name unless the section gives one; a record name is not cut to fit.
    const ManifestEntry* nameEntry = section.find(kMessageName.key);
    const std::string_view messageName = nameEntry ? std::string_view{nameEntry->value} : message.name;
    if (!nameEntry && messageName.size() >= kMessageName.width)
        return ManifestError{message.nameLine,
                             "'" + message.name + "': a message name holds at most 15 characters; " +
                                 "give message-name, as the record name is too long for it"};
    if (auto failure = storeText(message.header, nameEntry, messageName, kMessageName)) return *failure;
    if (const ManifestEntry* entry = section.find(kCaption.key)) {
        if (auto failure = storeText(message.header, entry, entry->value, kCaption)) return *failure;
    }

    if (const ManifestEntry* entry = section.find("live-time")) {
        const auto tenths = parseLiveTime(*entry);
        if (auto failure = failureOf(tenths)) return *failure;
        storeLe16(message.header, kLiveTime, std::get<unsigned>(tenths));
    }

    const ManifestEntry* shownEntry = section.find("shown");
    if (!shownEntry) return ManifestError{section.line, "[message] needs shown = " + choicesOf(kShown)};
    const auto shown = parseChoice(*shownEntry, kShown);
    if (auto failure = failureOf(shown)) return *failure;
    const unsigned checks = std::get<unsigned>(shown);
    message.header[kFtpCheck] = static_cast<std::byte>((checks & kFtp) ? 1 : 0);
    message.header[kTftpCheck] = static_cast<std::byte>((checks & kTftp) ? 1 : 0);

    unsigned models = Attribute::Default_Check;
    if (const ManifestEntry* entry = section.find("models")) {
        const auto parsed = parseChoice(*entry, kModels);
        if (auto failure = failureOf(parsed)) return *failure;
        models = std::get<unsigned>(parsed);
        if (checks == kStart && models == Attribute::RomID_Check && !startNameMatches(messageName))
            return errorAt(*entry, "with shown = start, a message for matching models only is shown when "
                                   "its message name begins with VELT and goes on after it; '" +
                                       std::string{messageName} + "' would never be shown");
    }
    message.attribute |= models;

    std::uint32_t colour = 0x00FFFFFF;
    if (const ManifestEntry* entry = section.find("background")) {
        const auto parsed = parseColour(*entry);
        if (auto failure = failureOf(parsed)) return *failure;
        colour = std::get<std::uint32_t>(parsed);
    }
    storeLe16(message.header, kBackColor, colour & 0xFFFF);
    storeLe16(message.header, kBackColor + 2, colour >> 16);

    unsigned steady = 1;
    if (const ManifestEntry* entry = section.find("text")) {
        const auto parsed = parseChoice(*entry, kText);
        if (auto failure = failureOf(parsed)) return *failure;
        steady = std::get<unsigned>(parsed);
    }
    message.header[kSteadyText] = static_cast<std::byte>(steady);
    return message;
}

void appendMessageText(std::vector<std::byte>& data, std::span<const std::byte> text)
{
    assert(data.size() == kMessageHeaderSize && text.size() <= kMaxMessageText);
    data[kTextLength] = static_cast<std::byte>(text.size() & 0xFF);
    data[kTextLength + 1] = static_cast<std::byte>(text.size() >> 8);
    data.insert(data.end(), text.begin(), text.end());
}

std::string decodeMessage(std::string_view name, std::uint16_t attribute, std::span<const std::byte> lead,
                          std::int64_t length)
{
    if (length < static_cast<std::int64_t>(kMessageHeaderSize))
        return "# " + std::to_string(length) +
               " bytes, shorter than the 125-byte header of a message record\n";
    assert(lead.size() >= std::min<std::size_t>(static_cast<std::size_t>(length), kMessageLead));
    const std::span<const std::byte> header = lead.first(kMessageHeaderSize);
    std::string out = "[message]\nname = " + quoteValue(name) + '\n';

    // The text: never looked at past the record, nor past its own length.
    const std::int64_t room = length - static_cast<std::int64_t>(kMessageHeaderSize);
    const std::uint16_t textLength = bundle::le16(header, kTextLength);
    if (textLength > room)
        out += "# Text_Length " + std::to_string(textLength) + " runs past the record, which holds " +
               std::to_string(room) + " bytes after its header\n";
    else if (textLength < room)
        out += "# " + std::to_string(room - textLength) + " bytes follow the text\n";
    const std::size_t present = static_cast<std::size_t>(std::min<std::int64_t>(textLength, room));
    const std::span<const std::byte> start = lead.subspan(kMessageHeaderSize);
    constexpr std::string_view kRtf = "{\\rtf";
    const bool rtf = present >= kRtf.size() &&
                     std::string_view{reinterpret_cast<const char*>(start.data()), kRtf.size()} == kRtf;
    out += "# text: " + std::to_string(present) + " bytes, " +
           (present == 0 ? "empty"
            : rtf        ? "RTF"
                         : "plain text") +
           "; file names where it is kept\n";
    out += "file = " + quoteValue(name) + '\n';

    writeText(out, header, kMessageName);
    writeText(out, header, kCaption);
    if (std::any_of(header.begin() + kReserved, header.begin() + kTextLength,
                    [](std::byte b) { return b != std::byte{0}; }))
        out += "# reserved bytes 84-117 are not all zero\n";

    const unsigned tenths = bundle::le16(header, kLiveTime);
    if (tenths > kLongestLiveTime)
        out += "# Live_Time " + std::to_string(tenths) + " tenths acts as 80, the longest\n";
    out += "live-time = " + tenthsText(std::min(tenths, kLongestLiveTime)) + '\n';

    const unsigned checks = (flagOf(header, kFtpCheck, "Msg_FTP_Check", out) ? kFtp : 0) |
                            (flagOf(header, kTftpCheck, "Msg_TFTP_Check", out) ? kTftp : 0);
    out += "shown = " + std::string{wordFor(checks, kShown)} + '\n';

    const unsigned models = attribute & kModelMask;
    if (models == 0) {
        out += "# the attribute word sets neither 0x0001 nor 0x0002: no model is shown the message\n";
    } else {
        if (checks == kStart && models == Attribute::RomID_Check &&
            !startNameMatches(textOf(header, kMessageName)))
            out += "# shown at start to matching models only, and the message name does not continue "
                   "after VELT: the program never shows it\n";
        out += "models = " + std::string{wordFor(models, kModels)} + '\n';
    }
    if (const unsigned other = attribute & ~(Attribute::Message_File | kModelMask))
        out += "# attribute bits " + hexText(other, 4) + " mean nothing to a message\n";

    const std::uint32_t colour = bundle::le32(header, kBackColor);
    if (colour >> 24) out += "# Back_Color " + hexText(colour, 8) + " has its high byte set\n";
    char background[8];
    std::snprintf(background, sizeof background, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    out += "background = " + std::string{background} + '\n';

    const unsigned steady = std::to_integer<unsigned>(header[kSteadyText]);
    if (steady > 1) out += "# Steady_Text byte " + byteText(steady) + " counts as steady\n";
    out += std::string{"text = "} + (steady ? "steady" : "blinking") + '\n';
    return out;
}

} // namespace fwbundle
