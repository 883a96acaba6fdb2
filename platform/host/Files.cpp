// Host layer: files, file mappings and views over POSIX descriptors and mmap.
// Share modes are kept with flock on the open file: share mode 0 takes an
// exclusive lock, any sharing a shared one, both without waiting, so a second
// open of a file held without sharing fails in this process and in others.

#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>

#include "HostCalls.h"
#include "HostTesting.h"

namespace {

// A file or a mapping. A mapping keeps its own duplicate of the file's
// descriptor, so the file (and its lock) stays held while the mapping lives,
// as on Windows.
struct KernelObject {
    int descriptor;
    bool isMapping;
};

std::map<HANDLE, KernelObject> objects;
std::map<const void*, size_t> views;
std::uintptr_t nextHandle = 0x100;
const DWORD AllocationGranularity = 64 * 1024;
std::uint64_t longestView = 0;  // 0: any

HANDLE AddObject(int descriptor, bool isMapping) {
    HANDLE handle = reinterpret_cast<HANDLE>(nextHandle);
    nextHandle += 4;
    objects[handle] = KernelObject{descriptor, isMapping};
    return handle;
}

KernelObject* FindObject(HANDLE handle, bool isMapping) {
    auto found = objects.find(handle);
    if (found == objects.end() || found->second.isMapping != isMapping) return nullptr;
    return &found->second;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_INVALID_PARAMETER;
    }
}

bool FileSize(int descriptor, off_t& size) {
    struct stat status;
    if (fstat(descriptor, &status) != 0) return false;
    size = status.st_size;
    return true;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES, DWORD creationDisposition, DWORD,
                          HANDLE) {
    if (HostCallFails("CreateFileA")) return INVALID_HANDLE_VALUE;
    if (creationDisposition != OPEN_EXISTING || fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    int flags = (desiredAccess & GENERIC_WRITE) ? O_RDWR : O_RDONLY;
    int descriptor = open(fileName, flags | O_CLOEXEC);
    if (descriptor < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    // Windows opens no folder without backup semantics.
    struct stat status;
    if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(descriptor);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int lock = (shareMode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB;
    if (flock(descriptor, lock) != 0) {
        close(descriptor);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    return AddObject(descriptor, false);
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    if (HostCallFails("GetFileSize")) return INVALID_FILE_SIZE;
    KernelObject* object = FindObject(file, false);
    off_t size = 0;
    if (object == nullptr || !FileSize(object->descriptor, size)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    std::uint64_t whole = static_cast<std::uint64_t>(size);
    if (fileSizeHigh != nullptr) *fileSizeHigh = static_cast<DWORD>(whole >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(whole);
}

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect,
                                 DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name) {
    if (HostCallFails("CreateFileMappingA")) return nullptr;
    KernelObject* object = FindObject(file, false);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // The layer maps whole files read-only, unnamed: all the program asks for.
    if (protect != PAGE_READONLY || maximumSizeHigh != 0 || maximumSizeLow != 0 ||
        name != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    off_t size = 0;
    if (!FileSize(object->descriptor, size) || size == 0) {
        // Windows refuses a mapping of an empty file with this code.
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    }
    int descriptor = fcntl(object->descriptor, F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    return AddObject(descriptor, true);
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh,
                            DWORD offsetLow, SIZE_T numberOfBytes) {
    if (HostCallFails("MapViewOfFile")) return nullptr;
    KernelObject* object = FindObject(mapping, true);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (desiredAccess != FILE_MAP_READ) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::uint64_t offset = std::uint64_t(offsetHigh) << 32 | offsetLow;
    if (offset % AllocationGranularity != 0) {
        SetLastError(ERROR_MAPPED_ALIGNMENT);
        return nullptr;
    }
    off_t size = 0;
    if (!FileSize(object->descriptor, size) || size == 0) {
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    }
    const std::uint64_t fileSize = static_cast<std::uint64_t>(size);
    // A view must lie inside the mapping, which is as long as the file.
    if (offset >= fileSize || numberOfBytes > fileSize - offset) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::uint64_t length = numberOfBytes != 0 ? numberOfBytes : fileSize - offset;
    if ((longestView != 0 && length > longestView) || length > SIZE_MAX) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* base = mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_SHARED,
                      object->descriptor, static_cast<off_t>(offset));
    if (base == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    views[base] = static_cast<size_t>(length);
    return base;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID base) {
    if (HostCallFails("UnmapViewOfFile")) return FALSE;
    auto view = views.find(base);
    if (view == views.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    munmap(const_cast<void*>(view->first), view->second);
    views.erase(view);
    return TRUE;
}

void WINAPI GetSystemInfo(LPSYSTEM_INFO info) {
    HostCallFails("GetSystemInfo");
    *info = SYSTEM_INFO{};
    info->dwPageSize = 4096;
    info->dwNumberOfProcessors = 1;
    info->dwAllocationGranularity = AllocationGranularity;
}

void HostRefuseViewsLongerThan(std::uint64_t bytes) { longestView = bytes; }

std::size_t HostOpenViews() { return views.size(); }

HANDLE WINAPI GetStdHandle(DWORD standardHandle) {
    if (HostCallFails("GetStdHandle")) return INVALID_HANDLE_VALUE;
    static HANDLE output = AddObject(1, false);
    static HANDLE error = AddObject(2, false);
    if (standardHandle == STD_OUTPUT_HANDLE) return output;
    if (standardHandle == STD_ERROR_HANDLE) return error;
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                      LPOVERLAPPED) {
    if (HostCallFails("WriteFile")) return FALSE;
    KernelObject* object = FindObject(file, false);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ssize_t written = write(object->descriptor, buffer, bytesToWrite);
    if (written < 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    if (bytesWritten != nullptr) *bytesWritten = static_cast<DWORD>(written);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    if (HostCallFails("CloseHandle")) return FALSE;
    auto found = objects.find(object);
    if (found == objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(found->second.descriptor);
    objects.erase(found);
    return TRUE;
}
