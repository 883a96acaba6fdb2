// Reading import tables of crafted images, in both modes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "ImageBuilder.h"
#include "TestFiles.h"
#include "import/ImportReader.h"

namespace {

const std::vector<ImportSpec> Ordinary = {
    {"KERNEL32.dll", {"GetLastError", "CreateFileA", "#17"}},
    {"USER32.dll", {"MessageBoxA"}},
};

const EntryList OrdinaryEntries = {
    "KERNEL32.dll: GetLastError", "KERNEL32.dll: CreateFileA", "KERNEL32.dll: #17",
    "USER32.dll: MessageBoxA"};

struct Case {
    const char* name;
    std::function<PeImage()> image;
    bool read;
    EntryList entries;  // mode DllFunctions
};

ImageOptions Options(bool pe32Plus, bool lookupTables = true, bool bound = false,
                     bool namesInOwnSection = false) {
    ImageOptions options;
    options.pe32Plus = pe32Plus;
    options.lookupTables = lookupTables;
    options.bound = bound;
    options.namesInOwnSection = namesInOwnSection;
    return options;
}

// Reads the image through a file, as the program does.
bool Read(const PeImage& image, EntryList& entries, ImportListMode mode = DllFunctions) {
    static int serial = 0;
    std::string path = WriteTestFile("image" + std::to_string(++serial) + ".exe", image.bytes);
    entries = {"left over from an earlier call"};
    return ReadImports(path, entries, mode);
}

// The ordinary image with one change made to it.
std::function<PeImage()> with(std::function<void(PeImage&)> change) {
    return [change] {
        PeImage image = BuildImage(Ordinary);
        change(image);
        return image;
    };
}

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EntryList entries;
        EXPECT_EQ(Read(c.image(), entries), c.read);
        EXPECT_EQ(entries, c.read ? c.entries : EntryList());
    }
}

TEST(ImportReader, ListsFunctionsInDescriptorAndThunkOrder) {
    Check({
        {"PE32 with lookup tables", [] { return BuildImage(Ordinary); }, true, OrdinaryEntries},
        {"PE32, address tables only", [] { return BuildImage(Ordinary, Options(false, false)); },
         true, OrdinaryEntries},
        {"PE32+ with lookup tables", [] { return BuildImage(Ordinary, Options(true)); }, true,
         OrdinaryEntries},
        {"PE32+, address tables only", [] { return BuildImage(Ordinary, Options(true, false)); },
         true, OrdinaryEntries},
        {"names in another section than the descriptors",
         [] { return BuildImage(Ordinary, Options(false, true, false, true)); }, true,
         OrdinaryEntries},
        {"PE32+ names in another section",
         [] { return BuildImage(Ordinary, Options(true, false, false, true)); }, true,
         OrdinaryEntries},
        {"the same DLL twice gives two runs, names copied as stored",
         [] {
             return BuildImage({{"a.dll", {"f"}}, {"B.DLL", {"g"}}, {"a.dll", {"h", "f"}}});
         },
         true, {"a.dll: f", "B.DLL: g", "a.dll: h", "a.dll: f"}},
        {"empty thunk array adds nothing",
         [] { return BuildImage({{"EMPTY.dll", {}}, {"USER32.dll", {"MessageBoxA"}}}); }, true,
         {"USER32.dll: MessageBoxA"}},
        {"ordinals: low 16 bits, each text alone",
         [] { return BuildImage({{"WS2_32.dll", {"#0", "#5", "#7", "#65535"}}}); }, true,
         {"WS2_32.dll: #0", "WS2_32.dll: #5", "WS2_32.dll: #7", "WS2_32.dll: #65535"}},
        {"empty function name ends in the separator, separator inside names kept",
         [] { return BuildImage({{"odd: dll", {"", "a: b"}}}); }, true,
         {"odd: dll: ", "odd: dll: a: b"}},
        {"first descriptor without a name: read, no entries", [] { return BuildImage({}); }, true,
         {}},
    });
}

TEST(ImportReader, DllNamesModeListsEveryDescriptor) {
    PeImage image = BuildImage({{"KERNEL32.dll", {"ExitProcess"}}, {"EMPTY.dll", {}},
                                {"KERNEL32.dll", {"#3"}}});
    EntryList entries;
    EXPECT_TRUE(Read(image, entries, DllNames));
    EXPECT_EQ(entries, EntryList({"KERNEL32.dll", "EMPTY.dll", "KERNEL32.dll"}));
}

TEST(ImportReader, OrdinalBitsAboveTheOrdinalAreIgnored) {
    for (bool pe32Plus : {false, true}) {
        SCOPED_TRACE(pe32Plus);
        PeImage image = BuildImage({{"X.dll", {"#1", "#2"}}}, Options(pe32Plus));
        std::uint32_t thunk = image.lookupTables[0];
        if (pe32Plus) {
            image.Put64(thunk, 0x800000007FFFFFFFu);      // bits 16 to 62 set
            image.Put64(thunk + 8, 0x8000000000010000u);  // ordinal 0
        } else {
            image.Put32(thunk, 0xFFFFFFFF);
            image.Put32(thunk + 4, 0x80010000);
        }
        EntryList entries;
        EXPECT_TRUE(Read(image, entries));
        EXPECT_EQ(entries, EntryList({"X.dll: #65535", "X.dll: #0"}));
    }
}

// Headers and section lookup: what makes a file not an image, or its import
// table found or not.
TEST(ImportReader, HeadersAndSectionLookup) {
    const std::uint32_t nt = 0x40;
    Check({
        {"not MZ", with([](PeImage& i) { i.bytes[1] = 'X'; }), false, {}},
        {"DOS only: no PE signature", with([=](PeImage& i) { i.Put32(nt, 0); }), false, {}},
        {"PE followed by other than two zeros", with([=](PeImage& i) { i.Put32(nt, 0x014550); }),
         false, {}},
        {"import RVA 0, no section holds it", with([](PeImage& i) { i.Put32(i.importDirectory, 0); }),
         false, {}},
        {"import RVA at the end of the section's range",
         with([](PeImage& i) { i.Put32(i.importDirectory, 0x1000 + i.Get32(i.SectionHeader(0) + 8)); }),
         false, {}},
        {"no sections", with([=](PeImage& i) { i.Put16(nt + 6, 0); }), false, {}},
        {"section of virtual size 0 never matches",
         with([](PeImage& i) { i.Put32(i.SectionHeader(0) + 8, 0); }), false, {}},
        {"section range that wraps past 2^32 holds nothing",
         with([](PeImage& i) { i.Put32(i.SectionHeader(0) + 8, 0xFFFFF800); }), false, {}},
        {"the earlier of two overlapping headers locates the table",
         with([](PeImage& i) { i.AddSection(0x1000, 0x1000, 0); }), true, OrdinaryEntries},
        {"a later header is used when the earlier holds nothing",
         with([](PeImage& i) {
             std::uint32_t size = i.Get32(i.SectionHeader(0) + 8);
             i.SetSection(0, 0x1000, 0, 0);
             i.AddSection(0x1000, size, 0x400);
         }),
         true, OrdinaryEntries},
        {"optional header magic other than PE32+ keeps PE32 offsets",
         with([=](PeImage& i) { i.Put16(nt + 0x18, 0x107); }), true, OrdinaryEntries},
        {"PE32 image read as PE32+ finds no import table",
         with([=](PeImage& i) { i.Put16(nt + 0x18, 0x20B); }), false, {}},
    });
}

// A later header that overlaps both sections locates only what they leave
// uncovered; one placed before them would take everything.
TEST(ImportReader, OverlappingHeadersLocateByTableOrder) {
    for (bool overlapFirst : {false, true}) {
        SCOPED_TRACE(overlapFirst);
        PeImage image = BuildImage(Ordinary, Options(false, true, false, true));
        int wide = image.AddSection(0x0800, 0xA000, 0);
        if (overlapFirst) {  // swap it with the import section's header
            std::vector<unsigned char> first(image.bytes.begin() + image.SectionHeader(0),
                                             image.bytes.begin() + image.SectionHeader(1));
            std::copy(image.bytes.begin() + image.SectionHeader(wide),
                      image.bytes.begin() + image.SectionHeader(wide + 1),
                      image.bytes.begin() + image.SectionHeader(0));
            std::copy(first.begin(), first.end(), image.bytes.begin() + image.SectionHeader(wide));
        }
        EntryList entries;
        bool read = Read(image, entries);
        EXPECT_EQ(read && entries == OrdinaryEntries, !overlapFirst);
    }
}

// An RVA that no section holds is located with the import section's delta.
TEST(ImportReader, RvaOutsideEverySectionUsesTheImportSection) {
    PeImage image = BuildImage(Ordinary);
    image.Put32(image.SectionHeader(0) + 8, 20);  // the section holds the first descriptor only
    EntryList entries;
    EXPECT_TRUE(Read(image, entries));
    EXPECT_EQ(entries, OrdinaryEntries);
}

// Bound images keep addresses in their address tables; the lookup tables
// still hold the names.
TEST(ImportReader, BoundImagesListTheirRealImports) {
    for (bool pe32Plus : {false, true}) {
        SCOPED_TRACE(pe32Plus);
        EntryList entries;
        EXPECT_TRUE(Read(BuildImage(Ordinary, Options(pe32Plus, true, true)), entries));
        EXPECT_EQ(entries, OrdinaryEntries);
        // A lookup table that lies outside the file is passed over for the address table.
        PeImage unbound = BuildImage(Ordinary, Options(pe32Plus));
        unbound.Put32(unbound.descriptors[0], 0x7FFFFF00);
        EXPECT_TRUE(Read(unbound, entries));
        EXPECT_EQ(entries, OrdinaryEntries);
        // Without lookup tables the addresses lead outside the file.
        EXPECT_FALSE(Read(BuildImage(Ordinary, Options(pe32Plus, false, true)), entries));
        EXPECT_EQ(entries, EntryList());
    }
}

// Every position that leaves the file makes the file unreadable.
TEST(ImportReader, PositionsOutsideTheFileGiveFalse) {
    const std::uint32_t nt = 0x40;
    Check({
        {"file shorter than a DOS header",
         [] {
             PeImage image;
             image.bytes = {'M', 'Z', 0, 0};
             return image;
         },
         false, {}},
        {"e_lfanew past the end", with([](PeImage& i) { i.Put32(0x3C, 0xFFFFFFFE); }), false, {}},
        {"NT headers cut by the end of the file",
         with([](PeImage& i) {
             i.Put32(0x3C, static_cast<std::uint32_t>(i.bytes.size() - 4));
             i.Put32(static_cast<std::uint32_t>(i.bytes.size() - 4), 0x4550);
         }),
         false, {}},
        {"section table past the end", with([=](PeImage& i) { i.Put16(nt + 0x14, 0xFFFF); }), false,
         {}},
        {"more section headers than the file holds", with([=](PeImage& i) { i.Put16(nt + 6, 0xFFFF); }),
         false, {}},
        {"section data past the end of the file",
         with([](PeImage& i) { i.Put32(i.SectionHeader(0) + 0x14, 0x7FFFFFFF); }), false, {}},
        {"section delta wrapping below the file start",
         with([](PeImage& i) { i.Put32(i.SectionHeader(0) + 0x14, 0xFFFFF000); }), false, {}},
        {"DLL name outside the file",
         with([](PeImage& i) { i.Put32(i.descriptors[1] + 0x0C, 0x00F00000); }), false, {}},
        {"thunk array outside the file",
         with([](PeImage& i) {
             i.Put32(i.descriptors[1], 0);
             i.Put32(i.descriptors[1] + 0x10, 0x00F00000);
         }),
         false, {}},
        {"hint/name entry outside the file",
         with([](PeImage& i) { i.Put32(i.lookupTables[1], 0x00F00000); }), false, {}},
        {"hint/name entry whose name starts past the end",
         with([](PeImage& i) {
             i.Put32(i.lookupTables[1], 0x1000 + static_cast<std::uint32_t>(i.bytes.size()) - 0x400 - 1);
         }),
         false, {}},
        {"name running to the end of the file without a NUL",
         with([](PeImage& i) {
             std::uint32_t at = i.dllNames[1];
             for (std::uint32_t k = at; k < i.bytes.size(); ++k) i.bytes[k] = 'x';
         }),
         false, {}},
        {"descriptor array running off the end",
         with([](PeImage& i) {
             for (std::uint32_t k = i.descriptors[2]; k < i.bytes.size(); ++k) i.bytes[k] = 1;
         }),
         false, {}},
    });
}

// An image of count functions named name, all from one DLL named dll.
PeImage Repeated(const std::string& dll, const std::string& name, std::uint32_t count) {
    return BuildImage({{dll, std::vector<std::string>(count, name)}});
}

// count descriptors, each with an empty thunk array.
PeImage EmptyDescriptors(std::uint32_t count) { return BuildSharedThunkImage(count, 0); }

// One DLL whose name and entries make bytes of text: the DLL name and its
// NUL, then entries of 16,384 bytes, as many as the text limit holds, the
// last one shortened to fit. All but the last share one hint/name entry, so
// the file stays small.
const std::uint32_t LongEntry = 16384;
const std::uint32_t LongEntries = static_cast<std::uint32_t>(MaxImportTextBytes / LongEntry);

PeImage TextOf(std::uint64_t bytes) {
    const std::uint32_t entry = LongEntry, count = LongEntries;
    const std::string name(entry - std::string("D.dll: ").size(), 'n');
    const std::string last = name.substr(0, name.size() - (count * entry + 6 - bytes));
    PeImage image = BuildImage({{"D.dll", {name, last}}}, Options(false, false));
    const std::uint32_t shared = image.Get32(image.addressTables[0]);
    const std::uint32_t lastOne = image.Get32(image.addressTables[0] + 4);
    std::vector<unsigned char> thunks(4 * (count + 1), 0);
    const std::uint32_t at = image.Append(thunks);
    for (std::uint32_t k = 0; k < count; ++k) image.Put32(at + 4 * k, k + 1 < count ? shared : lastOne);
    image.SetSection(0, 0x1000, at + 4 * (count + 1) - 0x400, 0x400);
    image.Put32(image.descriptors[0] + 0x10, at - 0x400 + 0x1000);
    return image;
}

TEST(ImportReader, LimitsAreReachedNotPassed) {
    struct Row {
        const char* name;
        std::function<PeImage()> image;
        bool read;
        std::size_t entries;
    };
    const std::uint32_t limit = MaxImportEntries;
    const std::vector<Row> rows = {
        {"entries at the limit, one DLL", [&] { return BuildOneDllImage(limit); }, true, limit},
        {"one entry more", [&] { return BuildOneDllImage(limit + 1); }, false, 0},
        {"a DLL per function, at the limit", [&] { return BuildDllPerFunctionImage(limit); }, true,
         limit},
        {"descriptors sharing their thunks, at the limit",
         [&] { return BuildSharedThunkImage(64, limit / 64); }, true, limit},
        {"4,096 descriptors sharing 256 thunks", [] { return BuildSharedThunkImage(4096, 256); },
         false, 0},
        {"descriptors without functions, at the limit",
         [] { return EmptyDescriptors(MaxImportDescriptors); }, true, 0},
        {"one descriptor more", [] { return EmptyDescriptors(MaxImportDescriptors + 1); }, false, 0},
        // Each separator in a name makes one more item of the tree.
        {"function names of two pieces, at the limit", [&] { return Repeated("D.dll", "a: b", limit / 2); },
         true, limit / 2},
        {"one of them more", [&] { return Repeated("D.dll", "a: b", limit / 2 + 1); }, false, 0},
        {"DLL names of three pieces, at the limit",
         [&] { return Repeated("A: B: C.dll", "f", limit / 3); }, true, limit / 3},
        {"one function more", [&] { return Repeated("A: B: C.dll", "f", limit / 3 + 1); }, false, 0},
        {"text at the limit", [] { return TextOf(MaxImportTextBytes); }, true, LongEntries},
        {"one byte more", [] { return TextOf(MaxImportTextBytes + 1); }, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EntryList entries;
        EXPECT_EQ(Read(row.image(), entries), row.read);
        EXPECT_EQ(entries.size(), row.entries);
    }
    EntryList names;
    EXPECT_FALSE(Read(EmptyDescriptors(MaxImportDescriptors + 1), names, DllNames));
    EXPECT_TRUE(names.empty());
}

// The import table lies in the first KiB; the rest is a hole of the file
// system. A 32-bit process has no room for a view of the larger ones, and
// none for a file of 4 GiB or more: those are read in parts.
TEST(ImportReader, FilesPaddedBeyondTheAddressSpace) {
    for (std::uint64_t size : {40ull << 20, 100ull << 20, 3ull << 30, 5ull << 30}) {
        SCOPED_TRACE(size);
        const std::string path = WriteTestFile("padded.exe", BuildImage(Ordinary).bytes);
        ExtendTestFile(path, size);
        EntryList entries;
        EXPECT_TRUE(ReadImports(path, entries, DllFunctions));
        EXPECT_EQ(entries, OrdinaryEntries);
        std::filesystem::remove(path);
    }
}

TEST(ImportReader, NamesUpToTheLengthLimit) {
    for (std::uint32_t length : {MaxImportNameLength, MaxImportNameLength + 1, 3u << 20}) {
        SCOPED_TRACE(length);
        std::string name(length, 'n');
        // As a function name and as a DLL name.
        PeImage image = BuildImage({{"L.dll", {name}}, {name, {"f"}}});
        EntryList entries;
        bool fits = length <= MaxImportNameLength;
        EXPECT_EQ(Read(image, entries), fits);
        // Compared as a whole: the texts are too long to print.
        EXPECT_TRUE(entries == (fits ? EntryList({"L.dll: " + name, name + ": f"}) : EntryList()));
    }
}

}  // namespace
