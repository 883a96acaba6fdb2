#include "ImageBuilder.h"

#include <cstdio>
#include <stdexcept>

namespace {

const std::uint32_t ImportSectionRva = 0x1000;
const std::uint32_t ImportSectionOffset = 0x400;
const std::uint32_t NameSectionRva = 0x8000;

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

void PeImage::Put16(std::uint32_t offset, std::uint32_t value) {
    for (int i = 0; i < 2; ++i) bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}

void PeImage::Put32(std::uint32_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}

void PeImage::Put64(std::uint32_t offset, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}

void PeImage::PutText(std::uint32_t offset, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) bytes.at(offset + i) = static_cast<unsigned char>(text[i]);
    bytes.at(offset + text.size()) = 0;
}

std::uint32_t PeImage::Get32(std::uint32_t offset) const {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes.at(offset + i);
    return value;
}

void PeImage::SetSection(int index, std::uint32_t virtualAddress, std::uint32_t virtualSize,
                         std::uint32_t rawData) {
    std::uint32_t header = SectionHeader(index);
    Put32(header + 0x08, virtualSize);
    Put32(header + 0x0C, virtualAddress);
    Put32(header + 0x10, AlignUp(virtualSize, 0x200));
    Put32(header + 0x14, rawData);
}

int PeImage::AddSection(std::uint32_t virtualAddress, std::uint32_t virtualSize,
                        std::uint32_t rawData) {
    std::uint32_t count = bytes.at(ntHeaders + 6) | bytes.at(ntHeaders + 7) << 8;
    if (count >= 16) throw std::length_error("section table full");
    Put16(ntHeaders + 6, count + 1);
    PutText(SectionHeader(count), ".extra");
    SetSection(count, virtualAddress, virtualSize, rawData);
    return static_cast<int>(count);
}

std::uint32_t PeImage::Append(const std::vector<unsigned char>& data) {
    std::uint32_t offset = static_cast<std::uint32_t>(bytes.size());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return offset;
}

PeImage BuildImage(const std::vector<ImportSpec>& imports, const ImageOptions& options) {
    PeImage image;
    const std::uint32_t thunkSize = options.pe32Plus ? 8 : 4;
    const std::uint32_t optionalHeaderSize = options.pe32Plus ? 0xF0 : 0xE0;
    image.sectionTable = image.ntHeaders + 0x18 + optionalHeaderSize;
    image.importDirectory = image.ntHeaders + (options.pe32Plus ? 0x90 : 0x80);

    // Plan the import section: descriptors, then the thunk arrays, then texts.
    std::uint32_t rva = ImportSectionRva + 20 * static_cast<std::uint32_t>(imports.size() + 1);
    std::vector<std::uint32_t> lookupRvas, addressRvas;
    for (const ImportSpec& import : imports) {
        std::uint32_t arraySize = thunkSize * static_cast<std::uint32_t>(import.functions.size() + 1);
        lookupRvas.push_back(options.lookupTables ? rva : 0);
        if (options.lookupTables) rva += arraySize;
        addressRvas.push_back(rva);
        rva += arraySize;
    }
    std::uint32_t textRva = options.namesInOwnSection ? NameSectionRva : rva;
    struct Text { std::uint32_t rva; std::string bytes; };
    std::vector<Text> texts;
    auto addText = [&](const std::string& value, bool hinted) {
        std::string stored = (hinted ? std::string("\0\0", 2) : std::string()) + value;
        texts.push_back(Text{textRva, stored});
        textRva += AlignUp(static_cast<std::uint32_t>(stored.size()) + 1, 2);
        return texts.back().rva;
    };
    std::vector<std::uint32_t> dllNameRvas;
    std::vector<std::vector<std::uint64_t>> thunks;
    for (const ImportSpec& import : imports) {
        dllNameRvas.push_back(addText(import.dll, false));
        thunks.emplace_back();
        for (const std::string& function : import.functions) {
            if (!function.empty() && function[0] == '#') {
                std::uint64_t flag = options.pe32Plus ? 0x8000000000000000u : 0x80000000u;
                thunks.back().push_back(flag | std::stoul(function.substr(1)));
            } else {
                thunks.back().push_back(addText(function, true));
            }
        }
    }
    std::uint32_t importSize = (options.namesInOwnSection ? rva : textRva) - ImportSectionRva;
    std::uint32_t importRaw = AlignUp(importSize, 0x200);
    std::uint32_t nameOffset = ImportSectionOffset + importRaw;
    std::uint32_t nameSize = options.namesInOwnSection ? textRva - NameSectionRva : 0;
    image.bytes.assign(nameOffset + AlignUp(nameSize, 0x200), 0);

    auto offsetOf = [&](std::uint32_t at) {
        return at >= NameSectionRva && options.namesInOwnSection
                   ? at - NameSectionRva + nameOffset
                   : at - ImportSectionRva + ImportSectionOffset;
    };

    // Headers.
    image.Put16(0x00, 0x5A4D);
    image.Put32(0x3C, image.ntHeaders);
    image.Put32(image.ntHeaders, 0x4550);
    image.Put16(image.ntHeaders + 0x04, options.pe32Plus ? 0x8664 : 0x14C);
    image.Put16(image.ntHeaders + 0x06, 0);
    image.Put16(image.ntHeaders + 0x14, optionalHeaderSize);
    image.Put16(image.ntHeaders + 0x16, 0x0102);
    image.Put16(image.ntHeaders + 0x18, options.pe32Plus ? 0x20B : 0x10B);
    image.Put32(image.ntHeaders + (options.pe32Plus ? 0x84 : 0x74), 16);  // NumberOfRvaAndSizes
    image.Put32(image.importDirectory, image.importRva);
    image.Put32(image.importDirectory + 4, 20 * static_cast<std::uint32_t>(imports.size() + 1));
    image.AddSection(ImportSectionRva, importSize, ImportSectionOffset);
    image.PutText(image.SectionHeader(0), ".idata");
    if (options.namesInOwnSection) {
        int names = image.AddSection(NameSectionRva, nameSize, nameOffset);
        image.PutText(image.SectionHeader(names), ".names");
    }

    // Descriptors and thunk arrays.
    for (std::size_t i = 0; i <= imports.size(); ++i)
        image.descriptors.push_back(ImportSectionOffset + 20 * static_cast<std::uint32_t>(i));
    for (std::size_t i = 0; i < imports.size(); ++i) {
        std::uint32_t descriptor = image.descriptors[i];
        image.Put32(descriptor + 0x00, lookupRvas[i]);
        image.Put32(descriptor + 0x0C, dllNameRvas[i]);
        image.Put32(descriptor + 0x10, addressRvas[i]);
        image.lookupTables.push_back(lookupRvas[i] ? offsetOf(lookupRvas[i]) : 0);
        image.addressTables.push_back(offsetOf(addressRvas[i]));
        image.dllNames.push_back(offsetOf(dllNameRvas[i]));
        for (std::size_t k = 0; k < thunks[i].size(); ++k) {
            std::uint32_t at = thunkSize * static_cast<std::uint32_t>(k);
            std::uint64_t value = thunks[i][k];
            std::uint64_t address = options.bound ? 0x7C800000u + 0x10u * k : value;
            if (options.pe32Plus) {
                if (lookupRvas[i]) image.Put64(image.lookupTables[i] + at, value);
                image.Put64(image.addressTables[i] + at, address);
            } else {
                if (lookupRvas[i]) image.Put32(image.lookupTables[i] + at, static_cast<std::uint32_t>(value));
                image.Put32(image.addressTables[i] + at, static_cast<std::uint32_t>(address));
            }
        }
    }
    for (const Text& text : texts) {
        std::uint32_t at = offsetOf(text.rva);
        for (std::size_t k = 0; k < text.bytes.size(); ++k)
            image.bytes.at(at + k) = static_cast<unsigned char>(text.bytes[k]);
    }
    return image;
}

namespace {

std::string Numbered(const char* prefix, std::uint32_t number, const char* suffix) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%07u%s", prefix, static_cast<unsigned>(number), suffix);
    return text;
}

}  // namespace

PeImage BuildSharedThunkImage(std::uint32_t descriptors, std::uint32_t thunks) {
    PeImage image = BuildImage({});
    // One section: the descriptors, the thunk array, the DLL name, then one
    // hint/name entry per thunk.
    const std::uint32_t thunkArray = ImportSectionOffset + 20 * (descriptors + 1);
    const std::uint32_t dllName = thunkArray + 4 * (thunks + 1);
    const std::uint32_t hintNames = dllName + 8;
    const std::uint32_t hintNameSize = 12;  // hint, "F0000000", NUL, padding
    const std::uint32_t size = hintNames + hintNameSize * thunks - ImportSectionOffset;
    image.bytes.resize(ImportSectionOffset + AlignUp(size, 0x200), 0);
    image.SetSection(0, ImportSectionRva, size, ImportSectionOffset);
    auto rva = [](std::uint32_t offset) { return offset - ImportSectionOffset + ImportSectionRva; };
    image.PutText(dllName, "D.dll");
    for (std::uint32_t k = 0; k < thunks; ++k) {
        image.PutText(hintNames + hintNameSize * k + 2, Numbered("F", k, ""));
        image.Put32(thunkArray + 4 * k, rva(hintNames + hintNameSize * k));
    }
    image.descriptors.clear();
    for (std::uint32_t d = 0; d <= descriptors; ++d) {
        std::uint32_t descriptor = ImportSectionOffset + 20 * d;
        image.descriptors.push_back(descriptor);
        if (d == descriptors) break;
        image.Put32(descriptor + 0x0C, rva(dllName));
        image.Put32(descriptor + 0x10, rva(thunkArray));
    }
    return image;
}

PeImage BuildOneDllImage(std::uint32_t functions) {
    ImportSpec dll{"D.dll", {}};
    for (std::uint32_t k = 0; k < functions; ++k) dll.functions.push_back(Numbered("F", k, ""));
    return BuildImage({dll});
}

PeImage BuildDllPerFunctionImage(std::uint32_t functions) {
    std::vector<ImportSpec> imports;
    for (std::uint32_t k = 0; k < functions; ++k)
        imports.push_back({Numbered("D", k, ".dll"), {Numbered("F", k, "")}});
    return BuildImage(imports);
}
