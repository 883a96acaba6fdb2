#include "MappedFile.h"

// A 32-bit program on 64-bit Windows that opens a path in the system folder
// is silently given the 32-bit copy from SysWOW64: the file that was dropped
// is the one to read, so the redirection is off around the open. On 32-bit
// Windows the calls fail and nothing changes.
static HANDLE OpenWithoutRedirection(const char* path) {
    PVOID redirection = NULL;
    BOOL disabled = Wow64DisableWow64FsRedirection(&redirection);
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (disabled) Wow64RevertWow64FsRedirection(redirection);
    return file;
}

// A part's view covers at least this much, so that reads near each other
// share it.
const std::uint64_t PartLength = 1 << 20;

bool OpenMappedFile(const char* path, MappedFile& file) {
    file.fileHandle = OpenWithoutRedirection(path);
    if (file.fileHandle == INVALID_HANDLE_VALUE) return false;

    // A failed call leaves the high word alone, and no file is that large.
    DWORD sizeHigh = 0xFFFFFFFF;
    DWORD sizeLow = GetFileSize(file.fileHandle, &sizeHigh);
    if (sizeHigh == 0xFFFFFFFF) {
        CloseHandle(file.fileHandle);
        return false;
    }
    file.fileSize = std::uint64_t(sizeHigh) << 32 | sizeLow;

    // An empty file fails here: a mapping of a zero-length file is refused.
    file.mappingHandle = CreateFileMappingA(file.fileHandle, NULL, PAGE_READONLY, 0, 0, NULL);
    if (file.mappingHandle == NULL) {
        CloseHandle(file.fileHandle);
        return false;
    }

    file.viewBase = static_cast<const unsigned char*>(
        MapViewOfFile(file.mappingHandle, FILE_MAP_READ, 0, 0, 0));
    if (file.viewBase == NULL) {
        // No room for all of it: its parts are mapped as they are read.
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        file.granularity = system.dwAllocationGranularity;
        for (MappedPart& part : file.parts) part = MappedPart{0, 0, NULL};
        file.nextPart = 0;
    }
    return true;
}

const unsigned char* MappedBytes(MappedFile& file, std::uint64_t offset, std::uint64_t length) {
    if (offset > file.fileSize || length > file.fileSize - offset) return NULL;
    if (file.viewBase != NULL) return file.viewBase + offset;
    for (const MappedPart& part : file.parts)
        if (part.base != NULL && offset >= part.offset && offset + length <= part.offset + part.length)
            return part.base + (offset - part.offset);

    // A new view in place of the oldest: from the granularity boundary below
    // offset, at least PartLength long, to the end of the file at most.
    const std::uint64_t start = offset - offset % file.granularity;
    std::uint64_t partLength = offset - start + length;
    if (partLength < PartLength) partLength = PartLength;
    if (partLength > file.fileSize - start) partLength = file.fileSize - start;
    MappedPart& part = file.parts[file.nextPart];
    file.nextPart = (file.nextPart + 1) % MappedPartCount;
    if (part.base != NULL) UnmapViewOfFile(part.base);
    part = MappedPart{start, partLength,
                      static_cast<const unsigned char*>(MapViewOfFile(
                          file.mappingHandle, FILE_MAP_READ, static_cast<DWORD>(start >> 32),
                          static_cast<DWORD>(start), static_cast<SIZE_T>(partLength)))};
    return part.base == NULL ? NULL : part.base + (offset - start);
}

void CloseMappedFile(MappedFile& file) {
    if (file.viewBase != NULL) {
        UnmapViewOfFile(file.viewBase);
    } else {
        for (const MappedPart& part : file.parts)
            if (part.base != NULL) UnmapViewOfFile(part.base);
    }
    CloseHandle(file.mappingHandle);
    CloseHandle(file.fileHandle);
}
