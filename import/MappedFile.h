// A whole file as read-only memory: one view of all of it, or, when the
// process has no room for that, views of parts of it mapped as they are read.
#pragma once

#include <cstdint>

#include "../platform/Platform.h"

// One view of a part of the file.
struct MappedPart {
    std::uint64_t offset;  // in the file, a multiple of the allocation granularity
    std::uint64_t length;
    const unsigned char* base;  // NULL: no view here
};

const int MappedPartCount = 4;

struct MappedFile {
    HANDLE fileHandle;              // INVALID_HANDLE_VALUE when the open failed
    HANDLE mappingHandle;           // NULL when the mapping failed
    const unsigned char* viewBase;  // the whole file; NULL when it is read in parts
    std::uint64_t fileSize;         // byte n of the file is byte n of the view
    DWORD granularity;              // where views of parts may start
    MappedPart parts[MappedPartCount];
    int nextPart;                   // the part whose view is replaced next
};

// Opens the file without sharing and maps a read-only view of all of it, or
// prepares to map it in parts when no view of all of it can be had (a file
// larger than the free address space, 4 GiB and more among them). False when
// the file cannot be opened or mapped; nothing is then left open.
bool OpenMappedFile(const char* path, MappedFile& file);

// The length bytes at offset, in place; NULL when they do not lie wholly in
// the file or cannot be mapped. With the file read in parts, a pointer stays
// valid only until the next call.
const unsigned char* MappedBytes(MappedFile& file, std::uint64_t offset, std::uint64_t length);

// Unmaps the views and closes the mapping and the file, in that order.
void CloseMappedFile(MappedFile& file);
