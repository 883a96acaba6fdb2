// Test levers of the host layer. Only tests include this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Win32.h"

// The next call of the named function (for example "MapViewOfFile") fails
// with the given error code. Several requests for one name apply in order to
// its next calls.
void HostFailNextCall(const std::string& name, DWORD errorCode);

// The names of the calls made since the last HostClearCalls, in order.
const std::vector<std::string>& HostCalls();

// Forgets the logged calls and any failure not yet used.
void HostClearCalls();

// Files: views longer than bytes fail with ERROR_NOT_ENOUGH_MEMORY, as in a
// 32-bit process that has no free block that large (0: no such limit); and
// the number of views mapped and not yet unmapped.
void HostRefuseViewsLongerThan(std::uint64_t bytes);
std::size_t HostOpenViews();

// Windows: the arguments a live window was created with.
struct HostWindowCreation {
    std::string className;
    std::string title;
    DWORD exStyle;
    DWORD style;
    int x, y, width, height;
    HWND parent;
    HMENU menu;
    HINSTANCE instance;
    LPVOID parameter;
};
bool HostWindowCreated(HWND window, HostWindowCreation& creation);

// Tree views: how often the control laid out and repainted its items after a
// single insertion or deletion, as it does while shown with redraw on.
unsigned HostTreeLayouts(HWND window);

// Keyboard: every key up and untoggled.
void HostResetKeyboard();

// Global memory: whether a handle is a live block, the lock count of a live
// moveable block (0 for anything else), the number of live blocks, and
// freeing every block.
bool HostGlobalAllocated(HGLOBAL memory);
unsigned HostGlobalLockCount(HGLOBAL memory);
std::size_t HostGlobalBlockCount();
void HostFreeGlobalBlocks();
// The next GlobalUnlock leaves its block locked: it returns nonzero, as for
// a block locked more than once, with the given code as the last error.
void HostKeepLockedAtNextUnlock(DWORD errorCode);

// Clipboard: another program holds it open, so that OpenClipboard fails with
// the given error code until released; whether this program has it open; the
// CF_TEXT data held, up to its first NUL (none when no CF_TEXT block is held);
// closing it, releasing it and freeing its data.
void HostHoldClipboard(DWORD errorCode);
void HostReleaseClipboard();
bool HostClipboardIsOpen();
std::optional<std::string> HostClipboardText();
void HostResetClipboard();

// Message boxes: the boxes shown, in order, and forgetting them.
struct HostMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
const std::vector<HostMessageBox>& HostMessageBoxes();
void HostClearMessageBoxes();

// The keyboard, global memory, clipboard and message boxes as at start.
inline void HostResetShell() {
    HostResetClipboard();
    HostFreeGlobalBlocks();
    HostResetKeyboard();
    HostClearMessageBoxes();
}
