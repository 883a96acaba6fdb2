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

// What a failed step left: its error code and what was held then.
struct ClipboardFailure {
    DWORD code;
    int stage;
    HGLOBAL block;
};

static void ReportAndRelease(HWND window, const ClipboardFailure& failure) {
    std::string message = "Caught exception with error code " + std::to_string(failure.code);
    MessageBoxA(window, message.c_str(), "Quernwick", MB_ICONERROR);
    // The box comes first: while it is shown, everything is still held.
    if (failure.stage >= BlockLocked) GlobalUnlock(failure.block);
    if (failure.stage >= BlockAllocated) GlobalFree(failure.block);
    if (failure.stage >= ClipboardOpen) CloseClipboard();
}

// Places text on the clipboard as CF_TEXT. False when a step failed; failure
// then tells what is still held.
static bool PlaceOnClipboard(HWND window, const std::string& text, ClipboardFailure& failure) {
    int stage = NothingHeld;
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
        failure = ClipboardFailure{code, stage, block};
        return false;
    }
    return true;
}

void CopyTreeToClipboard(HWND window) {
    // The wait cursor shows until the copy is done, or until its failure is
    // about to be reported.
    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    std::string text;
    ClipboardFailure failure = {};
    bool placed = TreeToText(window, text, FirstRootItem(window), 0) == 0 ||
                  PlaceOnClipboard(window, text, failure);
    SetCursor(previous);
    if (!placed) ReportAndRelease(window, failure);
}
