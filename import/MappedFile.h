// A whole file as one read-only block of memory.
#pragma once

#include "../platform/Platform.h"

struct MappedFile {
    HANDLE fileHandle;              // INVALID_HANDLE_VALUE when the open failed
    HANDLE mappingHandle;           // NULL when the mapping failed
    const unsigned char* viewBase;  // NULL when the view failed
    DWORD viewSize;                 // the file's length: byte n of the view is byte n of the file
};

// Opens the file without sharing and maps a read-only view of all of it.
// False when any step fails; nothing is then left open. Files of 4 GiB or
// more are refused: no 32-bit process can map them whole.
bool OpenMappedFile(const char* path, MappedFile& file);

// Unmaps the view and closes the mapping and the file, in that order.
void CloseMappedFile(MappedFile& file);
