// Host layer: windows, window procedures and the thread's message queue.
#pragma once

#define WM_NULL 0x0000u
#define WM_SETREDRAW 0x000Bu
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_TIMER 0x0113u
#define WM_DROPFILES 0x0233u

#define WS_VISIBLE 0x10000000u
#define WS_OVERLAPPEDWINDOW 0x00CF0000u
#define WS_EX_ACCEPTFILES 0x00000010u
#define CW_USEDEFAULT (static_cast<int>(0x80000000u))
#define GWL_WNDPROC (-4)

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
typedef MSG* LPMSG;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;

struct HRGN__;
typedef HRGN__* HRGN;
struct HICON__;
typedef HICON__* HICON;
typedef HICON HCURSOR;

// Windows of the one class the layer knows, "SysTreeView32"; any other class
// name fails with a null handle.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID parameter);
BOOL WINAPI DestroyWindow(HWND window);
HWND WINAPI GetDesktopWindow();
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);

LONG WINAPI SetWindowLongA(HWND window, int index, LONG newLong);
LRESULT WINAPI CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);

// The calling thread's queue.
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessageA(const MSG* message);

// Timers of the thread, without a window: the layer fires one at the next
// GetMessageA, whatever its period, until it is killed. DispatchMessageA
// calls its procedure.
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure);
BOOL WINAPI KillTimer(HWND window, UINT_PTR id);

// Painting. A window shown at creation that is invalidated waits for a
// WM_PAINT, which GetMessageA delivers when no posted message waits; the
// procedure that handles it validates the window.
#define RDW_INVALIDATE 0x0001u
#define RDW_ERASE 0x0004u
#define RDW_FRAME 0x0400u

BOOL WINAPI RedrawWindow(HWND window, const RECT* update, HRGN region, UINT flags);
BOOL WINAPI ValidateRect(HWND window, const RECT* rect);
// Sends WM_PAINT at once when the window waits for one.
BOOL WINAPI UpdateWindow(HWND window);
// Nonzero while the window waits for a WM_PAINT. The layer keeps no region:
// rect, when given, is set to the whole window.
BOOL WINAPI GetUpdateRect(HWND window, LPRECT rect, BOOL erase);

// Cursors: the system's own, by number, and the one the thread shows.
#define MAKEINTRESOURCEA(number) (reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(number))))
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
// Shows cursor (none for NULL) and returns the one shown before.
HCURSOR WINAPI SetCursor(HCURSOR cursor);
HCURSOR WINAPI GetCursor();

#define SW_SHOWDEFAULT 10

// The program's entry point, called by the start-up code.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);
