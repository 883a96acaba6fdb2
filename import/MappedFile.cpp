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

bool OpenMappedFile(const char* path, MappedFile& file) {
    file.fileHandle = OpenWithoutRedirection(path);
    if (file.fileHandle == INVALID_HANDLE_VALUE) return false;

    // A failed call leaves the high word alone, so its start value also
    // turns a size that could not be read into a refusal.
    DWORD sizeHigh = 0xFFFFFFFF;
    file.viewSize = GetFileSize(file.fileHandle, &sizeHigh);
    if (sizeHigh != 0) {
        CloseHandle(file.fileHandle);
        return false;
    }

    // An empty file fails here: a mapping of a zero-length file is refused.
    file.mappingHandle = CreateFileMappingA(file.fileHandle, NULL, PAGE_READONLY, 0, 0, NULL);
    if (file.mappingHandle == NULL) {
        CloseHandle(file.fileHandle);
        return false;
    }

    file.viewBase = static_cast<const unsigned char*>(
        MapViewOfFile(file.mappingHandle, FILE_MAP_READ, 0, 0, 0));
    if (file.viewBase == NULL) {
        CloseHandle(file.mappingHandle);
        CloseHandle(file.fileHandle);
        return false;
    }
    return true;
}

void CloseMappedFile(MappedFile& file) {
    UnmapViewOfFile(file.viewBase);
    CloseHandle(file.mappingHandle);
    CloseHandle(file.fileHandle);
}
