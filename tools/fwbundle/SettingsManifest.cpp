#include "tools/fwbundle/SettingsManifest.h"

#include "app/ControlSettings.h"
#include "tools/fwbundle/ManifestValues.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace fwbundle {
namespace {

static_assert(sizeof(ControlSettings) == kSettingsSize);

// A zero-terminated text field of the record.
struct TextField {
    std::string_view key;
    std::size_t offset;
    std::size_t width;
    std::string_view fallback; // when the key is left out
};

#define FW_FIELD(member) offsetof(ControlSettings, member), sizeof(ControlSettings::member)

constexpr TextField kAddress{"address", FW_FIELD(dstIP), ""};
constexpr TextField kPassword{"password", FW_FIELD(passWd), ""};
constexpr TextField kRomId{"rom-id", FW_FIELD(romID), ""};
constexpr TextField kSearchAndCaption[] = {
    {"search-address-1", FW_FIELD(searchAddr1), "default"},
    {"search-address-2", FW_FIELD(searchAddr2), "default"},
    {"search-address-3", FW_FIELD(searchAddr3), "default"},
    {"search-address-4", FW_FIELD(searchAddr4), "default"},
    {"caption", FW_FIELD(caption), "default"},
};
// put and set name one upgrade file in initFile; get splits it into three texts.
constexpr TextField kFile{"file", FW_FIELD(initFile), ""};
constexpr std::size_t kInitFile = offsetof(ControlSettings, initFile);
constexpr TextField kGetFields[] = {
    {"get-file", kInitFile + GetParameters::kFileName, GetParameters::kFileNameWidth, ""},
    {"get-offset", kInitFile + GetParameters::kOffset, GetParameters::kOffsetWidth, ""},
    {"get-length", kInitFile + GetParameters::kLength, GetParameters::kLengthWidth, ""},
};

#undef FW_FIELD

constexpr std::size_t kMethod = offsetof(ControlSettings, method);
constexpr std::size_t kFlags = offsetof(ControlSettings, flags);
constexpr std::size_t kTimeOut = offsetof(ControlSettings, timeOut);
constexpr std::size_t kMethodOrder = offsetof(ControlSettings, methodOrder);

constexpr unsigned kGet = 1;
constexpr ManifestWord kMethods[] = {{"get", kGet}, {"put", 2}, {"set", 4}};
constexpr ManifestWord kMethodOrders[] = {{"default", 0}, {"http", 1}, {"ftp", 2}, {"tftp", 3}};

// The flags byte: probe bits, then one bit a switch. The default-address probe takes two bits.
constexpr unsigned kProbeBits = 0x8F;
constexpr ManifestWord kProbes[] = {{"normal", 0x01}, {"boot", 0x02}, {"crash", 0x08}, {"default", 0x84}};
struct FlagSwitch {
    std::string_view key;
    ManifestWord on;
    ManifestWord off;
    bool onByDefault;
};
constexpr FlagSwitch kSwitches[] = {
    {"release", {"user", 0x10}, {"factory", 0}, true},
    {"log", {"shown", 0x20}, {"hidden", 0}, false},
    {"section-check", {"on", 0x40}, {"off", 0}, false},
};

// clang-format off
constexpr std::string_view kKeys[] = {
    "address", "password", "method", "file", "get-file", "get-offset", "get-length", "rom-id", "probes",
    "release", "log", "section-check", "search-address-1", "search-address-2", "search-address-3",
    "search-address-4", "caption", "timeout", "method-order"};
// clang-format on

// The download takes decimal numbers, or hexadecimal ones after "0x" or "0X".
bool numberText(std::string_view text)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex) text.remove_prefix(2);
    const auto digit = [hex](char c) {
        return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
    };
    return !text.empty() && std::all_of(text.begin(), text.end(), digit);
}

// Stores the entry's text, or the field's fallback when the key is left out; every fallback fits.
std::optional<ManifestError> storeText(SettingsRecord& record, const ManifestSection& section,
                                       const TextField& field)
{
    const ManifestEntry* entry = section.find(field.key);
    const std::string_view text = entry ? std::string_view{entry->value} : field.fallback;
    if (text.size() >= field.width)
        return errorAt(*entry, "at most " + std::to_string(field.width - 1) + " characters fit, " +
                                   std::to_string(text.size()) + " given");
    std::memcpy(record.data() + field.offset, text.data(), text.size());
    return std::nullopt;
}

template <typename T>
std::optional<ManifestError> failureOf(const Parsed<T>& parsed)
{
    if (const auto* error = std::get_if<ManifestError>(&parsed)) return *error;
    return std::nullopt;
}

// The text of a field: up to its zero byte, or the whole field when it has none.
std::string_view textOf(std::span<const std::byte, kSettingsSize> record, const TextField& field)
{
    const char* start = reinterpret_cast<const char*>(record.data()) + field.offset;
    return {start, static_cast<std::size_t>(std::find(start, start + field.width, '\0') - start)};
}

void writeText(std::string& out, std::span<const std::byte, kSettingsSize> record, const TextField& field)
{
    const std::string_view text = textOf(record, field);
    if (text.size() == field.width)
        out += "# " + std::string{field.key} + " fills its " + std::to_string(field.width) +
               " bytes without a zero byte\n";
    out += std::string{field.key} + (text.empty() ? " =\n" : " = " + quoteValue(text) + '\n');
}

std::string byteText(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

} // namespace

Parsed<SettingsRecord> encodeSettings(const ManifestSection& section)
{
    if (auto unknown = unknownKey(section, kKeys)) return *unknown;
    SettingsRecord record{};

    const ManifestEntry* methodEntry = section.find("method");
    if (!methodEntry) return ManifestError{section.line, "[settings] needs a method: get, put or set"};
    const auto method = parseChoice(*methodEntry, kMethods);
    if (auto failure = failureOf(method)) return *failure;
    const unsigned methodBits = std::get<unsigned>(method);
    record[kMethod] = static_cast<std::byte>(methodBits);

    // A key of the other methods' initFile layout is refused rather than dropped.
    const bool get = methodBits == kGet;
    const std::span<const TextField> own =
        get ? std::span<const TextField>{kGetFields} : std::span{&kFile, 1};
    const std::span<const TextField> other =
        get ? std::span{&kFile, 1} : std::span<const TextField>{kGetFields};
    for (const TextField& field : other) {
        if (const ManifestEntry* entry = section.find(field.key))
            return errorAt(*entry, std::string{"belongs to "} + (get ? "method put and set" : "method get") +
                                       ", not " + methodEntry->value);
    }
    for (const TextField& field : own) {
        const ManifestEntry* entry = section.find(field.key);
        if (get && !entry)
            return ManifestError{section.line, "method get needs " + std::string{field.key} +
                                                   " (get-file, get-offset and get-length)"};
        if (field.key != "get-file" && get && !numberText(entry->value))
            return errorAt(*entry, "expected a number of bytes (decimal, or hexadecimal after 0x), not '" +
                                       entry->value + "'");
        if (auto failure = storeText(record, section, field)) return *failure;
    }
    for (const TextField* field : {&kAddress, &kPassword, &kRomId}) {
        if (auto failure = storeText(record, section, *field)) return *failure;
    }
    for (const TextField& field : kSearchAndCaption) {
        if (auto failure = storeText(record, section, field)) return *failure;
    }

    unsigned flags = 0;
    for (const ManifestWord& probe : kProbes) flags |= probe.bits;
    if (const ManifestEntry* entry = section.find("probes")) {
        const auto probes = parseWordSet(*entry, kProbes, true);
        if (auto failure = failureOf(probes)) return *failure;
        flags = std::get<unsigned>(probes);
    }
    for (const FlagSwitch& flag : kSwitches) {
        unsigned bits = flag.onByDefault ? flag.on.bits : flag.off.bits;
        if (const ManifestEntry* entry = section.find(flag.key)) {
            const ManifestWord words[] = {flag.on, flag.off};
            const auto chosen = parseChoice(*entry, words);
            if (auto failure = failureOf(chosen)) return *failure;
            bits = std::get<unsigned>(chosen);
        }
        flags |= bits;
    }
    record[kFlags] = static_cast<std::byte>(flags);

    if (const ManifestEntry* entry = section.find("timeout")) {
        const auto seconds = parseNumber(*entry, -128, 127, "seconds (0 keeps the usual limit)");
        if (auto failure = failureOf(seconds)) return *failure;
        record[kTimeOut] = static_cast<std::byte>(static_cast<std::int8_t>(std::get<int>(seconds)));
    }
    if (const ManifestEntry* entry = section.find("method-order")) {
        const auto order = parseChoice(*entry, kMethodOrders);
        if (auto failure = failureOf(order)) return *failure;
        record[kMethodOrder] = static_cast<std::byte>(std::get<unsigned>(order));
    }
    return record;
}

std::string decodeSettings(std::span<const std::byte, kSettingsSize> record)
{
    std::string out = "[settings]\n";
    writeText(out, record, kAddress);
    writeText(out, record, kPassword);

    const unsigned method = std::to_integer<unsigned>(record[kMethod]);
    const std::string_view methodWord = wordFor(method, kMethods);
    if (methodWord.empty()) {
        out += "# method byte " + byteText(method) +
               " is none of get 1, put 2, set 4; initFile read as for put\n";
    } else {
        out += "method = " + std::string{methodWord} + '\n';
    }
    if (method == kGet) {
        for (const TextField& field : kGetFields) writeText(out, record, field);
    } else {
        writeText(out, record, kFile);
    }
    writeText(out, record, kRomId);

    const unsigned flags = std::to_integer<unsigned>(record[kFlags]);
    const std::string probes = wordsFor(flags & kProbeBits, kProbes);
    unsigned named = 0;
    for (const ManifestWord& probe : kProbes) {
        if ((flags & probe.bits) == probe.bits) named |= probe.bits;
    }
    if (const unsigned lone = flags & kProbeBits & ~named)
        out +=
            "# flags bit " + byteText(lone) + " is set without its partner; the default probe takes 0x84\n";
    out += "probes = " + probes + '\n';
    for (const FlagSwitch& flag : kSwitches)
        out += std::string{flag.key} + " = " +
               std::string{(flags & flag.on.bits) ? flag.on.word : flag.off.word} + '\n';

    for (const TextField& field : kSearchAndCaption) writeText(out, record, field);
    out +=
        "timeout = " + std::to_string(static_cast<std::int8_t>(std::to_integer<unsigned>(record[kTimeOut]))) +
        '\n';
    const unsigned order = std::to_integer<unsigned>(record[kMethodOrder]);
    const std::string_view orderWord = wordFor(order, kMethodOrders);
    if (orderWord.empty()) {
        out += "# method-order byte " + byteText(order) + " is none of default 0, http 1, ftp 2, tftp 3\n";
    } else {
        out += "method-order = " + std::string{orderWord} + '\n';
    }
    return out;
}

} // namespace fwbundle
