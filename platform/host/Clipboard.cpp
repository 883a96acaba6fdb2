// Host layer: the clipboard. The program opens it for one window (or none),
// and may open it again for the same one; any other opening fails while it
// is open, as does every opening while another program holds it (a test
// lever). Data is kept per format as the global memory block given, which the
// clipboard owns from then on. The layer renders no format on request and
// makes no other text format out of CF_TEXT.

#include <map>

#include "HostCalls.h"
#include "HostGlobalMemory.h"
#include "HostTesting.h"

namespace {

struct Clipboard {
    bool open = false;
    HWND openWindow = nullptr;
    bool heldByOther = false;
    DWORD heldError = ERROR_ACCESS_DENIED;
    // A null handle stands for a format announced without its data.
    std::map<UINT, HANDLE> data;
};

Clipboard clipboard;

bool RequireOpen() {
    if (clipboard.open) return true;
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
}

void FreeData() {
    for (const auto& entry : clipboard.data) ReleaseGlobalBlock(entry.second);
    clipboard.data.clear();
}

}  // namespace

BOOL WINAPI OpenClipboard(HWND owner) {
    if (HostCallFails("OpenClipboard")) return FALSE;
    if (clipboard.heldByOther) {
        SetLastError(clipboard.heldError);
        return FALSE;
    }
    if (clipboard.open && clipboard.openWindow != owner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    clipboard.open = true;
    clipboard.openWindow = owner;
    return TRUE;
}

BOOL WINAPI EmptyClipboard() {
    if (HostCallFails("EmptyClipboard")) return FALSE;
    if (!RequireOpen()) return FALSE;
    FreeData();
    return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE data) {
    if (HostCallFails("SetClipboardData")) return nullptr;
    if (!RequireOpen()) return nullptr;
    unsigned char* bytes = nullptr;
    SIZE_T size = 0;
    if (data != nullptr && !GlobalBlockBytes(data, bytes, size)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto held = clipboard.data.find(format);
    if (held != clipboard.data.end() && held->second != data) ReleaseGlobalBlock(held->second);
    clipboard.data[format] = data;
    return data;
}

HANDLE WINAPI GetClipboardData(UINT format) {
    if (HostCallFails("GetClipboardData")) return nullptr;
    if (!RequireOpen()) return nullptr;
    auto held = clipboard.data.find(format);
    return held == clipboard.data.end() ? nullptr : held->second;
}

BOOL WINAPI IsClipboardFormatAvailable(UINT format) {
    if (HostCallFails("IsClipboardFormatAvailable")) return FALSE;
    return clipboard.data.count(format) != 0;
}

BOOL WINAPI CloseClipboard() {
    if (HostCallFails("CloseClipboard")) return FALSE;
    if (!RequireOpen()) return FALSE;
    clipboard.open = false;
    clipboard.openWindow = nullptr;
    return TRUE;
}

void HostHoldClipboard(DWORD errorCode) {
    clipboard.heldByOther = true;
    clipboard.heldError = errorCode;
}

void HostReleaseClipboard() { clipboard.heldByOther = false; }

bool HostClipboardIsOpen() { return clipboard.open; }

std::optional<std::string> HostClipboardText() {
    auto held = clipboard.data.find(CF_TEXT);
    unsigned char* bytes = nullptr;
    SIZE_T size = 0;
    if (held == clipboard.data.end() || !GlobalBlockBytes(held->second, bytes, size))
        return std::nullopt;
    std::string text(reinterpret_cast<const char*>(bytes), size);
    return text.substr(0, text.find('\0'));
}

void HostResetClipboard() {
    FreeData();
    clipboard = Clipboard();
}
