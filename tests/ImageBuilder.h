// Builds small PE images in memory for the tests, laid out as a linker would:
//   0x000 DOS header, e_lfanew = 0x40
//   0x040 NT headers (PE32 or PE32+), optional header with 16 data directories
//         section table right after the optional header
//   0x400 the import section at RVA 0x1000: descriptors, lookup tables,
//         address tables, hint/name entries, DLL names
// A test then pokes fields to craft whatever damage it needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One import descriptor. A function "#17" is imported by ordinal 17.
struct ImportSpec {
    std::string dll;
    std::vector<std::string> functions;
};

struct ImageOptions {
    bool pe32Plus = false;
    bool lookupTables = true;  // OriginalFirstThunk arrays beside the address tables
    bool bound = false;        // address tables hold addresses, as after binding
    bool namesInOwnSection = false;  // names and hint/name entries in a second
                                     // section, at RVA 0x8000, file offset just
                                     // after the import section
};

struct PeImage {
    std::vector<unsigned char> bytes;
    std::uint32_t ntHeaders = 0x40;
    std::uint32_t sectionTable = 0;
    std::uint32_t importRva = 0x1000;
    std::uint32_t importDirectory = 0;  // file offset of the import RVA field
    std::vector<std::uint32_t> descriptors;    // file offsets, one per ImportSpec, then the terminator
    std::vector<std::uint32_t> lookupTables;   // file offsets of each descriptor's lookup table (0 if none)
    std::vector<std::uint32_t> addressTables;  // file offsets of each descriptor's address table
    std::vector<std::uint32_t> dllNames;       // file offsets of each DLL name

    void Put16(std::uint32_t offset, std::uint32_t value);
    void Put32(std::uint32_t offset, std::uint32_t value);
    void Put64(std::uint32_t offset, std::uint64_t value);
    void PutText(std::uint32_t offset, const std::string& text);  // with its NUL
    std::uint32_t Get32(std::uint32_t offset) const;

    std::uint32_t SectionHeader(int index) const { return sectionTable + 40u * index; }
    void SetSection(int index, std::uint32_t virtualAddress, std::uint32_t virtualSize,
                    std::uint32_t rawData);
    // Appends a section header (the table has room for 16) and returns its index.
    int AddSection(std::uint32_t virtualAddress, std::uint32_t virtualSize, std::uint32_t rawData);
    // Appends bytes at the end of the file and returns their offset.
    std::uint32_t Append(const std::vector<unsigned char>& data);
};

PeImage BuildImage(const std::vector<ImportSpec>& imports, const ImageOptions& options = {});

// A small hostile image: descriptors import descriptors, all naming "D.dll"
// and all sharing one thunk array that imports thunks functions, F0000000,
// F0000001, ... It lists descriptors x thunks entries, one DLL item and an
// item per entry, from a file of 20 bytes per descriptor.
PeImage BuildSharedThunkImage(std::uint32_t descriptors, std::uint32_t thunks);

// Images of many imports, named F0000000, F0000001, ...: all from one DLL
// ("one DLL"), or each from a DLL of its own, D0000000.dll, ... ("a DLL per
// function"). Each lists 1 + functions + DLLs items.
PeImage BuildOneDllImage(std::uint32_t functions);
PeImage BuildDllPerFunctionImage(std::uint32_t functions);
