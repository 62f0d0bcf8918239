#include "tools/fwbundle/ImageManifest.h"

#include "bundle/BundleFormat.h"
#include "tools/fwbundle/ManifestValues.h"

#include <cstdio>

namespace fwbundle {
namespace {

// http and ftp share Normal_Check, so naming one alone would quietly allow the other.
constexpr unsigned kHttp = 1, kFtp = 2, kTftp = 4;
constexpr ManifestWord kMethods[] = {{"http", kHttp}, {"ftp", kFtp}, {"tftp", kTftp}};
constexpr ManifestWord kMethodBits[] = {{"http ftp", Attribute::Normal_Check},
                                        {"tftp", Attribute::TFTP_Check}};
constexpr ManifestWord kModelBits[] = {{"none", 0}, kModels[0], kModels[1], kModels[2]};
constexpr std::string_view kKeys[] = {"file", "name", "methods", "models", "section", "keep-name"};
constexpr ManifestWord kYesNo[] = {{"yes", 1}, {"no", 0}};

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

} // namespace

Parsed<ImageEntry> parseImage(const ManifestSection& section)
{
    if (auto unknown = unknownKey(section, kKeys)) return *unknown;
    auto source = recordSource(section);
    if (const auto* error = std::get_if<ManifestError>(&source)) return *error;
    auto& [path, pathLine, name, nameLine] = std::get<RecordSource>(source);
    ImageEntry image{std::move(path), pathLine, std::move(name), nameLine, Attribute::Upgrade_File};

    unsigned methods = kHttp | kFtp | kTftp;
    if (const ManifestEntry* entry = section.find("methods")) {
        const auto parsed = parseWordSet(*entry, kMethods, false);
        if (const auto* error = std::get_if<ManifestError>(&parsed)) return *error;
        methods = std::get<unsigned>(parsed);
        if (((methods & kHttp) != 0) != ((methods & kFtp) != 0))
            return errorAt(*entry, "http and ftp go together, as one attribute bit allows both");
    }
    if (methods & kHttp) image.attribute |= Attribute::Normal_Check;
    if (methods & kTftp) image.attribute |= Attribute::TFTP_Check;

    unsigned models = Attribute::Default_Check;
    if (const ManifestEntry* entry = section.find("models")) {
        const auto parsed = parseChoice(*entry, kModels);
        if (const auto* error = std::get_if<ManifestError>(&parsed)) return *error;
        models = std::get<unsigned>(parsed);
    }
    image.attribute |= models;

    if (const ManifestEntry* entry = section.find("section")) {
        const auto parsed = parseNumber(*entry, 0, 15, "a section number");
        if (const auto* error = std::get_if<ManifestError>(&parsed)) return *error;
        image.attribute |= std::get<int>(parsed) << 4;
    }
    if (const ManifestEntry* entry = section.find("keep-name")) {
        const auto parsed = parseChoice(*entry, kYesNo);
        if (const auto* error = std::get_if<ManifestError>(&parsed)) return *error;
        if (std::get<unsigned>(parsed)) image.attribute |= Attribute::Keep_Name;
    }
    return image;
}

std::string describeAttribute(std::uint16_t attribute)
{
    using namespace Attribute;
    std::string text;
    unsigned explained = 0;
    std::string_view beforeOther = " "; // after words a comma, after a bare kind a blank
    constexpr unsigned kModelMask = Default_Check | RomID_Check;
    if (attribute & Control_File) {
        text = "[settings]";
        explained = Control_File;
    } else if (attribute & Message_File) {
        text = "[message] models = " + std::string{wordFor(attribute & kModelMask, kModelBits)};
        explained = Message_File | kModelMask;
        beforeOther = ", ";
    } else if (attribute & Upgrade_File) {
        text = "[image] methods = " + wordsFor(attribute, kMethodBits) +
               ", models = " + std::string{wordFor(attribute & kModelMask, kModelBits)} +
               ", section = " + std::to_string(sectionOf(attribute)) +
               ", keep-name = " + ((attribute & Keep_Name) ? "yes" : "no");
        explained = Upgrade_File | Normal_Check | TFTP_Check | kModelMask | Section_ID | Keep_Name;
        beforeOther = ", ";
    } else {
        text = "(no image, message or settings bit)";
    }
    if (const unsigned other = attribute & ~explained)
        text += std::string{beforeOther} + "other bits = " + hex4(other);
    return text;
}

} // namespace fwbundle
