// Host layer: global memory blocks. A fixed block's handle is the address of
// its bytes; a moveable block gets a handle of its own, never given again, so
// that a freed handle stays invalid. Lock counts stop at 255, as on Windows.

#include <algorithm>
#include <map>
#include <memory>
#include <new>

#include "HostCalls.h"
#include "HostGlobalMemory.h"
#include "HostTesting.h"

namespace {

struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    SIZE_T size;
    bool moveable;
    unsigned lockCount;
};

const unsigned maxLockCount = 255;
// Bytes of a block allocated without GMEM_ZEROINIT, so that code relying on
// zeroed memory it did not ask for shows up in tests.
const unsigned char unsetByte = 0xAB;

std::map<HGLOBAL, Block> blocks;
// Set by a test: the next GlobalUnlock leaves its block locked and reports
// this code.
bool keepLockedAtNextUnlock = false;
DWORD keptLockCode = 0;
std::uintptr_t nextHandle = 0x10004;

Block* FindBlock(HGLOBAL memory) {
    auto found = blocks.find(memory);
    return found == blocks.end() ? nullptr : &found->second;
}

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (HostCallFails("GlobalAlloc")) return nullptr;
    // Allocates at least one byte so that a fixed block of size 0 still has
    // an address of its own.
    std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes]);
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::fill(data.get(), data.get() + bytes,
              (flags & GMEM_ZEROINIT) ? static_cast<unsigned char>(0) : unsetByte);
    // The flags from 16-bit Windows (discardable, shared...) change nothing.
    bool moveable = (flags & GMEM_MOVEABLE) != 0;
    HGLOBAL handle;
    if (moveable) {
        handle = reinterpret_cast<HGLOBAL>(nextHandle);
        nextHandle += 8;
    } else {
        handle = data.get();
    }
    blocks[handle] = Block{std::move(data), bytes, moveable, 0};
    return handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL memory) {
    if (HostCallFails("GlobalLock")) return nullptr;
    Block* block = FindBlock(memory);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!block->moveable) return block->bytes.get();
    // A moveable block of size 0 is a discarded one: it has no bytes to lock.
    if (block->size == 0) {
        SetLastError(ERROR_DISCARDED);
        return nullptr;
    }
    if (block->lockCount < maxLockCount) ++block->lockCount;
    return block->bytes.get();
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory) {
    if (HostCallFails("GlobalUnlock")) return FALSE;
    if (keepLockedAtNextUnlock) {
        keepLockedAtNextUnlock = false;
        SetLastError(keptLockCode);
        return TRUE;
    }
    Block* block = FindBlock(memory);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!block->moveable) return TRUE;
    if (block->lockCount == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->lockCount > 0) return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
    if (HostCallFails("GlobalFree")) return memory;
    if (memory == nullptr) return nullptr;
    auto found = blocks.find(memory);
    if (found == blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    // A locked block is freed all the same.
    blocks.erase(found);
    return nullptr;
}

SIZE_T WINAPI GlobalSize(HGLOBAL memory) {
    if (HostCallFails("GlobalSize")) return 0;
    Block* block = FindBlock(memory);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return block->size;
}

bool GlobalBlockBytes(HGLOBAL memory, unsigned char*& data, SIZE_T& size) {
    Block* block = FindBlock(memory);
    if (block == nullptr) return false;
    data = block->bytes.get();
    size = block->size;
    return true;
}

void ReleaseGlobalBlock(HGLOBAL memory) { blocks.erase(memory); }

bool HostGlobalAllocated(HGLOBAL memory) { return FindBlock(memory) != nullptr; }

unsigned HostGlobalLockCount(HGLOBAL memory) {
    Block* block = FindBlock(memory);
    return block == nullptr ? 0 : block->lockCount;
}

std::size_t HostGlobalBlockCount() { return blocks.size(); }

void HostFreeGlobalBlocks() { blocks.clear(); }

void HostKeepLockedAtNextUnlock(DWORD errorCode) {
    keepLockedAtNextUnlock = true;
    keptLockCode = errorCode;
}
