#include "ImportReader.h"

#include <cstring>
#include <iterator>
#include <map>
#include <sstream>
#include <string_view>

#include "MappedFile.h"

const std::string EntrySeparator = ": ";

// Offsets of the fields read, from the start of their structure.
const std::uint32_t DosMagicOffset = 0x00;              // IMAGE_DOS_HEADER.e_magic
const std::uint32_t NtHeadersPointerOffset = 0x3C;      // IMAGE_DOS_HEADER.e_lfanew
const std::uint32_t NumberOfSectionsOffset = 0x06;      // NT headers, FileHeader
const std::uint32_t SizeOfOptionalHeaderOffset = 0x14;  // NT headers, FileHeader
const std::uint32_t OptionalHeaderOffset = 0x18;        // NT headers, OptionalHeader
const std::uint32_t SectionHeaderSize = 40;             // IMAGE_SECTION_HEADER
const std::uint32_t SectionVirtualSizeOffset = 0x08;
const std::uint32_t SectionVirtualAddressOffset = 0x0C;
const std::uint32_t SectionRawDataOffset = 0x14;
const std::uint32_t DescriptorSize = 20;                // IMAGE_IMPORT_DESCRIPTOR
const std::uint32_t DescriptorLookupTableOffset = 0x00; // OriginalFirstThunk
const std::uint32_t DescriptorNameOffset = 0x0C;
const std::uint32_t DescriptorFirstThunkOffset = 0x10;
const std::uint32_t HintSize = 2;                       // IMAGE_IMPORT_BY_NAME.Hint

const std::uint32_t DosMagic = 0x5A4D;     // 'M' 'Z'
const std::uint32_t NtSignature = 0x4550;  // 'P' 'E' 0 0
const std::uint32_t Pe32PlusMagic = 0x20B;

// What differs between PE32 and PE32+ for the import walk.
struct ImageLayout {
    std::uint32_t importDirectoryOffset;  // from the NT headers
    std::uint32_t thunkSize;
    std::uint64_t ordinalFlag;
};

const ImageLayout Pe32Layout = {0x80, 4, 0x80000000u};
const ImageLayout Pe32PlusLayout = {0x90, 8, 0x8000000000000000u};

// The file's bytes: all in memory at base, or, with base NULL, mapped in
// parts as they are read.
struct ImageView {
    const unsigned char* base;
    std::uint64_t size;
    MappedFile* file;
};

// The width bytes at offset, or NULL when they do not all lie in the file.
static const unsigned char* Bytes(const ImageView& view, std::uint64_t offset, std::uint64_t width) {
    if (offset > view.size || width > view.size - offset) return nullptr;
    if (view.base != nullptr) return view.base + offset;
    return MappedBytes(*view.file, offset, width);
}

// Every read of the file goes through these two. Offsets are 64-bit so that
// adding a field offset to a 32-bit position cannot wrap past the check.
static bool ReadValue(const ImageView& view, std::uint64_t offset, std::uint32_t width,
                      std::uint64_t& value) {
    const unsigned char* bytes = Bytes(view, offset, width);
    if (bytes == nullptr) return false;
    value = 0;
    for (std::uint32_t i = width; i-- > 0;) value = value << 8 | bytes[i];
    return true;
}

// Finds the NUL-terminated text at offset, in place in the view, valid until
// the next read. False when it runs out of the view or past the name length
// limit before its NUL.
static bool FindText(const ImageView& view, std::uint64_t offset, const char*& text,
                     std::size_t& length) {
    if (offset >= view.size) return false;
    std::uint64_t available = view.size - offset;
    std::size_t limit = static_cast<std::size_t>(
        available < MaxImportNameLength + 1 ? available : MaxImportNameLength + 1);
    text = reinterpret_cast<const char*>(Bytes(view, offset, limit));
    if (text == nullptr) return false;
    const void* end = std::memchr(text, 0, limit);
    if (end == nullptr) return false;
    length = static_cast<std::size_t>(static_cast<const char*>(end) - text);
    return true;
}

static bool Read16(const ImageView& view, std::uint64_t offset, std::uint32_t& value) {
    std::uint64_t wide;
    if (!ReadValue(view, offset, 2, wide)) return false;
    value = static_cast<std::uint32_t>(wide);
    return true;
}

static bool Read32(const ImageView& view, std::uint64_t offset, std::uint32_t& value) {
    std::uint64_t wide;
    if (!ReadValue(view, offset, 4, wide)) return false;
    value = static_cast<std::uint32_t>(wide);
    return true;
}

// Section ranges, keyed by their first RVA. Headers may overlap, and the first
// header in table order that holds an RVA is the one that locates it; each
// piece here is a part of a header's range that no earlier header covers, so
// every RVA has at most one piece and a lookup is one search.
struct SectionPiece {
    std::uint32_t end;    // one past the last RVA of the piece
    std::uint32_t delta;  // VirtualAddress - PointerToRawData of its header
};

typedef std::map<std::uint32_t, SectionPiece> SectionMap;

struct Image {
    ImageView view;
    ImageLayout layout;
    SectionMap sections;
    std::uint32_t importDelta;  // for RVAs that no section holds
    // The piece that located the last RVA: the next one is most often in it.
    mutable std::uint32_t lastStart = 1, lastEnd = 0, lastDelta = 0;
};

// Adds the parts of [start, end) that covered does not hold yet, and merges
// the range into covered. Each call adds one range to covered and removes
// those it swallows, so building the map for n headers takes O(n log n).
static void AddSection(SectionMap& sections, std::map<std::uint32_t, std::uint32_t>& covered,
                       std::uint32_t start, std::uint32_t end, std::uint32_t delta) {
    auto range = covered.upper_bound(start);
    if (range != covered.begin() && std::prev(range)->second > start) --range;
    std::uint32_t cursor = start;
    std::uint32_t mergedStart = start;
    std::uint32_t mergedEnd = end;
    while (range != covered.end() && range->first < end) {
        if (range->first > cursor) sections[cursor] = SectionPiece{range->first, delta};
        if (range->second > cursor) cursor = range->second;
        if (range->first < mergedStart) mergedStart = range->first;
        if (range->second > mergedEnd) mergedEnd = range->second;
        range = covered.erase(range);
    }
    if (cursor < end) sections[cursor] = SectionPiece{end, delta};
    covered[mergedStart] = mergedEnd;
}

// The piece that holds rva, or the map's end when none does.
static SectionMap::const_iterator FindPiece(const SectionMap& sections, std::uint32_t rva) {
    auto piece = sections.upper_bound(rva);
    if (piece == sections.begin()) return sections.end();
    --piece;
    return rva < piece->second.end ? piece : sections.end();
}

// The file offset of an RVA: through the section that holds it, or through
// the import section when none does. Wraps modulo 2^32 like the loader's sums;
// the reads check what comes out.
static std::uint32_t Position(const Image& image, std::uint32_t rva) {
    if (rva >= image.lastStart && rva < image.lastEnd) return rva - image.lastDelta;
    auto piece = FindPiece(image.sections, rva);
    if (piece == image.sections.end()) return rva - image.importDelta;
    image.lastStart = piece->first;
    image.lastEnd = piece->second.end;
    image.lastDelta = piece->second.delta;
    return rva - image.lastDelta;
}

// Reads the section table into image.sections. False when the table does not
// lie wholly inside the file.
static bool ReadSectionTable(Image& image, std::uint32_t ntHeaders) {
    std::uint32_t count = 0;
    std::uint32_t optionalHeaderSize = 0;
    if (!Read16(image.view, std::uint64_t(ntHeaders) + NumberOfSectionsOffset, count) ||
        !Read16(image.view, std::uint64_t(ntHeaders) + SizeOfOptionalHeaderOffset,
                optionalHeaderSize))
        return false;
    std::uint64_t table = std::uint64_t(ntHeaders) + OptionalHeaderOffset + optionalHeaderSize;
    if (table + std::uint64_t(count) * SectionHeaderSize > image.view.size) return false;

    std::map<std::uint32_t, std::uint32_t> covered;
    for (std::uint32_t index = 0; index < count; ++index) {
        std::uint64_t header = table + std::uint64_t(index) * SectionHeaderSize;
        std::uint32_t virtualSize = 0, virtualAddress = 0, rawData = 0;
        Read32(image.view, header + SectionVirtualSizeOffset, virtualSize);
        Read32(image.view, header + SectionVirtualAddressOffset, virtualAddress);
        Read32(image.view, header + SectionRawDataOffset, rawData);
        // The range is half-open and its end wraps modulo 2^32 like the rest of
        // the RVA arithmetic, so an empty or wrapping range holds no RVA.
        std::uint32_t end = virtualAddress + virtualSize;
        if (virtualAddress < end)
            AddSection(image.sections, covered, virtualAddress, end, virtualAddress - rawData);
    }
    return true;
}

// What one walk may still use before it gives up on the file.
struct WalkBudget {
    std::uint32_t descriptors = MaxImportDescriptors;
    std::uint32_t entries = MaxImportEntries;
    std::uint64_t textBytes = MaxImportTextBytes;
};

static bool Spend(WalkBudget& budget, std::size_t textBytes) {
    if (textBytes > budget.textBytes) return false;
    budget.textBytes -= textBytes;
    return true;
}

// Every piece of an entry can become an item of the tree, and each separator
// inside a name gives its entry one piece more: such an entry counts as one
// entry more per separator, so that the entry limit bounds the items that one
// file can make.
static bool SpendEntries(WalkBudget& budget, std::uint32_t entries) {
    if (entries > budget.entries) return false;
    budget.entries -= entries;
    return true;
}

static std::uint32_t CountSeparators(const char* text, std::size_t length) {
    const std::string_view name(text, length);
    std::uint32_t count = 0;
    for (std::size_t at = name.find(EntrySeparator); at != std::string_view::npos;
         at = name.find(EntrySeparator, at + EntrySeparator.size()))
        ++count;
    return count;
}

// Appends one entry: the DLL name, the separator and the function text,
// each entry built with one allocation.
static void AppendEntry(const std::string& dllName, const char* function, std::size_t length,
                        EntryList& entries) {
    const std::size_t total = dllName.size() + EntrySeparator.size() + length;
    char joined[512];
    if (total > sizeof joined) {
        std::string entry;
        entry.reserve(total);
        entries.push_back(std::move(entry.append(dllName).append(EntrySeparator).append(function, length)));
        return;
    }
    char* at = joined;
    std::memcpy(at, dllName.data(), dllName.size());
    at += dllName.size();
    std::memcpy(at, EntrySeparator.data(), EntrySeparator.size());
    at += EntrySeparator.size();
    std::memcpy(at, function, length);
    entries.emplace_back(joined, total);
}

// Appends one entry per thunk of the array at thunkRva, each the DLL name,
// the separator and the function text. dllSeparators: the separators that the
// DLL name holds.
static bool WalkThunks(const Image& image, std::uint32_t thunkRva, const std::string& dllName,
                       std::uint32_t dllSeparators, EntryList& entries, WalkBudget& budget,
                       std::ostringstream& ordinalText) {
    const ImageLayout& layout = image.layout;
    for (;; thunkRva += layout.thunkSize) {
        std::uint64_t thunk = 0;
        if (!ReadValue(image.view, Position(image, thunkRva), layout.thunkSize, thunk)) return false;
        if (thunk == 0) return true;

        std::string ordinal;
        const char* function = nullptr;
        std::size_t length = 0;
        if (thunk & layout.ordinalFlag) {
            ordinalText << '#' << static_cast<std::uint16_t>(thunk & 0xFFFF);
            ordinal = ordinalText.str();
            ordinalText.str(std::string());
            function = ordinal.data();
            length = ordinal.size();
        } else {
            // A hint/name RVA; a wider value is no RVA at all.
            if (thunk > 0xFFFFFFFFu) return false;
            std::uint32_t hintName = Position(image, static_cast<std::uint32_t>(thunk));
            if (!FindText(image.view, std::uint64_t(hintName) + HintSize, function, length))
                return false;
        }
        if (!SpendEntries(budget, 1 + dllSeparators + CountSeparators(function, length)) ||
            !Spend(budget, dllName.size() + EntrySeparator.size() + length))
            return false;
        AppendEntry(dllName, function, length, entries);
    }
}

// The thunks to read for one descriptor. Bound images store addresses in the
// FirstThunk array, so the lookup table comes first wherever the file has one.
static std::uint32_t ThunkArray(const Image& image, std::uint32_t descriptor) {
    std::uint32_t lookupTable = 0, firstThunk = 0;
    Read32(image.view, std::uint64_t(descriptor) + DescriptorLookupTableOffset, lookupTable);
    Read32(image.view, std::uint64_t(descriptor) + DescriptorFirstThunkOffset, firstThunk);
    if (lookupTable != 0 &&
        std::uint64_t(Position(image, lookupTable)) + image.layout.thunkSize <= image.view.size)
        return lookupTable;
    return firstThunk;
}

static bool WalkDescriptors(const Image& image, std::uint32_t importRva, EntryList& entries,
                            ImportListMode mode) {
    WalkBudget budget;
    std::ostringstream ordinalText;
    std::string dllName;
    for (std::uint32_t rva = importRva;; rva += DescriptorSize) {
        std::uint32_t descriptor = Position(image, rva);
        std::uint32_t nameRva = 0;
        // The whole descriptor must lie in the file, also its last field.
        std::uint64_t end = std::uint64_t(descriptor) + DescriptorSize;
        if (end > image.view.size) return false;
        Read32(image.view, std::uint64_t(descriptor) + DescriptorNameOffset, nameRva);
        if (nameRva == 0) return true;
        if (budget.descriptors == 0) return false;
        --budget.descriptors;

        const char* name = nullptr;
        std::size_t length = 0;
        if (!FindText(image.view, Position(image, nameRva), name, length) ||
            !Spend(budget, length + 1))
            return false;
        dllName.assign(name, length);
        const std::uint32_t separators = CountSeparators(dllName.data(), dllName.size());
        if (mode == DllNames) {
            if (!SpendEntries(budget, 1 + separators)) return false;
            entries.push_back(dllName);
        } else if (!WalkThunks(image, ThunkArray(image, descriptor), dllName, separators, entries,
                               budget, ordinalText)) {
            return false;
        }
    }
}

// Reads the image in view into entries; false, with the list empty, when it
// cannot be read.
static bool ReadImage(const ImageView& view, EntryList& entries, ImportListMode mode) {
    Image image;
    image.view = view;

    std::uint32_t magic = 0, ntHeaders = 0, signature = 0, optionalMagic = 0;
    if (!Read16(image.view, DosMagicOffset, magic) || magic != DosMagic) return false;
    if (!Read32(image.view, NtHeadersPointerOffset, ntHeaders)) return false;
    if (!Read32(image.view, ntHeaders, signature) || signature != NtSignature) return false;
    if (!Read16(image.view, std::uint64_t(ntHeaders) + OptionalHeaderOffset, optionalMagic))
        return false;
    image.layout = optionalMagic == Pe32PlusMagic ? Pe32PlusLayout : Pe32Layout;

    std::uint32_t importRva = 0;
    if (!Read32(image.view, std::uint64_t(ntHeaders) + image.layout.importDirectoryOffset,
                importRva))
        return false;
    if (!ReadSectionTable(image, ntHeaders)) return false;
    auto importSection = FindPiece(image.sections, importRva);
    if (importSection == image.sections.end()) return false;
    image.importDelta = importSection->second.delta;

    if (WalkDescriptors(image, importRva, entries, mode)) return true;
    entries.clear();
    return false;
}

bool ReadImportsFromView(const unsigned char* view, std::uint32_t size, EntryList& entries,
                         ImportListMode mode) {
    entries.clear();
    return ReadImage(ImageView{view, size, nullptr}, entries, mode);
}

bool ReadImports(const std::string& path, EntryList& entries, ImportListMode mode) {
    entries.clear();
    MappedFile file;
    if (!OpenMappedFile(path.c_str(), file)) return false;
    bool read = ReadImage(ImageView{file.viewBase, file.fileSize, &file}, entries, mode);
    CloseMappedFile(file);
    return read;
}
