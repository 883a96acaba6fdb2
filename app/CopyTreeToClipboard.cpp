#include "CopyTreeToClipboard.h"

#include <cstring>
#include <string>

#include "../tree/TreeControl.h"
#include "../tree/TreeToText.h"

// What the copy holds at a moment; each stage holds what the one below holds.
enum ClipboardStage {
    NothingHeld = 0,
    ClipboardOpen = 1,
    BlockAllocated = 2,
    BlockLocked = 3,
};

// Throws the error code of the call that just failed, before any other call
// can change it.
static void ThrowLastError() { throw static_cast<DWORD>(GetLastError()); }

static void ReportAndRelease(HWND window, DWORD code, int stage, HGLOBAL block) {
    std::string message = "Caught exception with error code " + std::to_string(code);
    MessageBoxA(window, message.c_str(), "Quernwick", MB_ICONERROR);
    // The box comes first: while it is shown, everything is still held.
    if (stage >= BlockLocked) GlobalUnlock(block);
    if (stage >= BlockAllocated) GlobalFree(block);
    if (stage >= ClipboardOpen) CloseClipboard();
}

void CopyTreeToClipboard(HWND window) {
    std::string text;
    int stage = NothingHeld;
    if (TreeToText(window, text, FirstRootItem(window), 0) == 0) return;

    HGLOBAL block = NULL;
    try {
        if (!OpenClipboard(window)) ThrowLastError();
        stage = ClipboardOpen;
        if (!EmptyClipboard()) ThrowLastError();
        block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        if (block == NULL) ThrowLastError();
        stage = BlockAllocated;
        void* bytes = GlobalLock(block);
        if (bytes == NULL) ThrowLastError();
        stage = BlockLocked;
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        if (GlobalUnlock(block)) ThrowLastError();  // still locked
        stage = BlockAllocated;
        if (SetClipboardData(CF_TEXT, block) == NULL) ThrowLastError();
        stage = ClipboardOpen;  // the block is the clipboard's now
        if (!CloseClipboard()) ThrowLastError();
    } catch (DWORD code) {
        ReportAndRelease(window, code, stage, block);
    }
}
