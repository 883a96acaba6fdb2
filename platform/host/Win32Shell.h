// Host layer: keyboard state, global memory, dropped files, clipboard,
// message box and file system redirection.
#pragma once

typedef void* PVOID;
typedef HANDLE HGLOBAL;
struct HDROP__;
typedef HDROP__* HDROP;

#define NO_ERROR 0u
#define ERROR_DISCARDED 157u
#define ERROR_NOT_LOCKED 158u
#define ERROR_NOACCESS 998u
#define ERROR_CLIPBOARD_NOT_OPEN 1418u

// Keyboard state of the calling thread: one byte per virtual key, bit 0x80
// down, bit 0x01 toggled.
#define VK_CONTROL 0x11
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3

// Negative when the key is down; bit 0 set when it is toggled.
SHORT WINAPI GetKeyState(int virtKey);
BOOL WINAPI GetKeyboardState(BYTE* keyState);
BOOL WINAPI SetKeyboardState(BYTE* keyState);

// Global memory. A fixed block's handle is its address; a moveable block has
// a handle of its own and a lock count.
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID WINAPI GlobalLock(HGLOBAL memory);
BOOL WINAPI GlobalUnlock(HGLOBAL memory);
HGLOBAL WINAPI GlobalFree(HGLOBAL memory);
SIZE_T WINAPI GlobalSize(HGLOBAL memory);

// Dropped files. An HDROP is a global memory block that starts with this
// record; pFiles is the offset of the list of paths from the block's start.
// The paths are ANSI, or UTF-16 when fWide is set, each ended by a NUL, and
// the list is ended by an empty path.
struct DROPFILES {
    DWORD pFiles;
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};
typedef DROPFILES* LPDROPFILES;

// Index 0xFFFFFFFF gives the number of paths. With no buffer (or a size of
// 0) gives the length of the path in characters, without its NUL; otherwise
// copies at most size - 1 characters and a NUL and gives the number copied.
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
void WINAPI DragFinish(HDROP drop);

// Clipboard. Data set on it is a global memory block that the clipboard then
// owns and frees when it is emptied or the format's data is replaced.
#define CF_TEXT 1u

BOOL WINAPI OpenClipboard(HWND owner);
BOOL WINAPI EmptyClipboard();
HANDLE WINAPI SetClipboardData(UINT format, HANDLE data);
HANDLE WINAPI GetClipboardData(UINT format);
BOOL WINAPI IsClipboardFormatAvailable(UINT format);
BOOL WINAPI CloseClipboard();

// Message box.
#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// File system redirection of 32-bit programs on 64-bit Windows.
BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID* oldValue);
BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID oldValue);
