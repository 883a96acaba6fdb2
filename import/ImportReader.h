// Reads the import table of a PE image into an ordered list of text entries.
#pragma once

#include <cstdint>
#include <string>
#include <deque>

enum ImportListMode {
    DllNames = 0,      // one entry per import descriptor: the DLL name
    DllFunctions = 1,  // one entry per imported function: DLL, separator, function
};

// A deque rather than a vector: a large list needs no single large block,
// which a 32-bit process may not have free.
typedef std::deque<std::string> EntryList;

// Joins the pieces of an entry: ": ". Built at static initialisation.
extern const std::string EntrySeparator;

// Limits far beyond any real image, set so that the largest listing one file
// can give still shows and copies within about two seconds in the real tree
// view, where listing and copying cost more than in proportion to the items.
// A file that goes past one is not read, like a file whose import table
// points outside itself.
// An entry whose names hold the separator counts once more for each, since
// every piece can become an item: one file makes at most
// 1 + 2 * MaxImportEntries items.
const std::uint32_t MaxImportDescriptors = 16384;
const std::uint32_t MaxImportEntries = 16384;
const std::uint32_t MaxImportNameLength = 16384;   // bytes, without the NUL
const std::uint64_t MaxImportTextBytes = 4u << 20; // DLL names read plus entry texts

// Empties entries, then lists the imports of the file at path. True when the
// file is a PE image whose import table lies in a section and whose walk
// stayed inside the file and within the limits; false otherwise, with the
// list empty.
bool ReadImports(const std::string& path, EntryList& entries, ImportListMode mode);

// The same over bytes already in memory (size bytes at view).
bool ReadImportsFromView(const unsigned char* view, std::uint32_t size, EntryList& entries,
                         ImportListMode mode);
