// Host layer: windows, window procedures and the thread's message queue.
// A window is its procedure and the few fields it was created with; the one
// class it knows is the tree view, whose procedure lives in TreeView.cpp.

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>

#include "HostCalls.h"
#include "HostTesting.h"
#include "HostWindows.h"

namespace {

struct Window {
    WNDPROC procedure;
    HostWindowCreation creation;  // the arguments it was created with
    bool waitsForPaint;
};

std::map<HWND, Window> windows;
std::uintptr_t nextWindow = 0x20000;
HWND const desktop = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10010));
HMODULE const programModule = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000));

// The thread's queue: posted messages in order, then the quit message once
// it has been asked for and nothing else waits, then the timers.
struct Queue {
    std::deque<MSG> posted;
    std::map<UINT_PTR, TIMERPROC> timers;
    UINT_PTR nextTimer = 1;
    bool quitPosted = false;
    int quitCode = 0;
};
thread_local Queue queue;

const DWORD ErrorInvalidWindowHandle = 1400;
const DWORD ErrorCannotFindWindowClass = 1407;
const DWORD ErrorResourceNameNotFound = 1814;

// The system's cursors that the layer knows; a cursor's handle is derived
// from its number. The thread shows one cursor, or none.
const WORD SystemCursors[] = {32512, 32514, 32515};
const std::uintptr_t CursorHandleBase = 0x30000;
HCURSOR shownCursor = nullptr;

// The window of the last lookup: messages mostly go to one window in a row.
HWND lastWindow = nullptr;
Window* lastFound = nullptr;

Window* FindWindow(HWND window) {
    if (window == lastWindow && window != nullptr) return lastFound;
    auto found = windows.find(window);
    if (found == windows.end()) return nullptr;
    lastWindow = window;
    lastFound = &found->second;
    return lastFound;
}

// The window, or null with the error Windows gives for a handle that names
// no window.
Window* ExistingWindow(HWND window) {
    Window* found = FindWindow(window);
    if (found == nullptr) SetLastError(ErrorInvalidWindowHandle);
    return found;
}

// Letters and digits give characters; the layer applies no modifiers.
bool CharacterOfKey(WPARAM virtualKey, WPARAM& character) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        character = virtualKey - 'A' + 'a';
        return true;
    }
    if ((virtualKey >= '0' && virtualKey <= '9') || virtualKey == ' ') {
        character = virtualKey;
        return true;
    }
    return false;
}

}  // namespace

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID parameter) {
    if (HostCallFails("CreateWindowExA")) return nullptr;
    if (className == nullptr || strcasecmp(className, WC_TREEVIEWA) != 0) {
        SetLastError(ErrorCannotFindWindowClass);
        return nullptr;
    }
    HWND window = reinterpret_cast<HWND>(nextWindow);
    nextWindow += 4;
    windows[window] = Window{TreeViewProcedure,
                             HostWindowCreation{className, windowName ? windowName : "", exStyle,
                                                style, x, y, width, height, parent, menu, instance,
                                                parameter},
                             false};
    TreeViewProcedure(window, WM_NCCREATE, 0, 0);
    TreeViewProcedure(window, WM_CREATE, 0, 0);
    return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (HostCallFails("DestroyWindow")) return FALSE;
    Window* found = ExistingWindow(window);
    if (found == nullptr) return FALSE;
    found->procedure(window, WM_DESTROY, 0, 0);
    found->procedure(window, WM_NCDESTROY, 0, 0);
    windows.erase(window);
    if (window == lastWindow) lastWindow = nullptr;
    return TRUE;
}

HWND WINAPI GetDesktopWindow() {
    HostCallFails("GetDesktopWindow");
    return desktop;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (HostCallFails("GetModuleHandleA")) return nullptr;
    if (moduleName != nullptr) {
        SetLastError(126);  // ERROR_MOD_NOT_FOUND: the layer knows only the program itself
        return nullptr;
    }
    return programModule;
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG newLong) {
    if (HostCallFails("SetWindowLongA")) return 0;
    Window* found = ExistingWindow(window);
    if (found == nullptr) return 0;
    if (index != GWL_WNDPROC) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // LONG is as wide as a pointer here, as on 32-bit Windows.
    static_assert(sizeof(LONG) == sizeof(WNDPROC), "a procedure must fit in a LONG");
    WNDPROC previous = found->procedure;
    found->procedure = reinterpret_cast<WNDPROC>(newLong);
    return reinterpret_cast<LONG>(previous);
}

LRESULT WINAPI CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
    if (procedure == nullptr) return 0;
    return procedure(window, message, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(window);
    if (message == WM_PAINT) HostValidateWindow(window);
    return 0;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* found = ExistingWindow(window);
    if (found == nullptr) return 0;
    return found->procedure(window, message, wParam, lParam);
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    if (HostCallFails("FindWindowA")) return nullptr;
    if (className != nullptr && strcasecmp(className, WC_TREEVIEWA) != 0) return nullptr;
    for (const auto& window : windows)
        if (windowName == nullptr || window.second.creation.title == windowName) return window.first;
    return nullptr;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR, UINT, TIMERPROC procedure) {
    if (HostCallFails("SetTimer")) return 0;
    if (window != nullptr || procedure == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);  // the layer keeps thread timers only
        return 0;
    }
    UINT_PTR id = queue.nextTimer++;
    queue.timers[id] = procedure;
    return id;
}

BOOL WINAPI KillTimer(HWND, UINT_PTR id) {
    if (HostCallFails("KillTimer")) return FALSE;
    return queue.timers.erase(id) == 1 ? TRUE : FALSE;
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HostCallFails("PostMessageA")) return FALSE;
    if (window != nullptr && ExistingWindow(window) == nullptr) return FALSE;
    queue.posted.push_back(MSG{window, message, wParam, lParam, 0, POINT{0, 0}});
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    HostCallFails("PostQuitMessage");
    queue.quitPosted = true;
    queue.quitCode = exitCode;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND, UINT, UINT) {
    if (HostCallFails("GetMessageA")) return -1;
    if (!queue.posted.empty()) {
        *message = queue.posted.front();
        queue.posted.pop_front();
        return message->message == WM_QUIT ? FALSE : TRUE;
    }
    if (queue.quitPosted) {
        queue.quitPosted = false;
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, POINT{0, 0}};
        return FALSE;
    }
    // Then paints, one window at a time.
    for (auto& window : windows) {
        if (window.second.waitsForPaint) {
            *message = MSG{window.first, WM_PAINT, 0, 0, 0, POINT{0, 0}};
            return TRUE;
        }
    }
    // Timers come last, when nothing else waits.
    if (!queue.timers.empty()) {
        auto timer = queue.timers.begin();
        *message = MSG{nullptr, WM_TIMER, timer->first, reinterpret_cast<LPARAM>(timer->second), 0,
                       POINT{0, 0}};
        return TRUE;
    }
    // Nothing would ever arrive: on Windows the thread would wait for good.
    std::fprintf(stderr, "host layer: GetMessageA with an empty queue would wait forever\n");
    std::abort();
}

BOOL WINAPI TranslateMessage(const MSG* message) {
    if (HostCallFails("TranslateMessage")) return FALSE;
    WPARAM character = 0;
    if (message->message != WM_KEYDOWN || !CharacterOfKey(message->wParam, character)) return FALSE;
    // The character comes next, before anything posted later.
    queue.posted.push_front(MSG{message->hwnd, WM_CHAR, character, message->lParam, 0, POINT{0, 0}});
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
    if (HostCallFails("DispatchMessageA")) return 0;
    if (message->message == WM_TIMER && message->lParam != 0) {
        reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam, 0);
        return 0;
    }
    if (message->hwnd == nullptr) return 0;
    return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL WINAPI RedrawWindow(HWND window, const RECT*, HRGN, UINT flags) {
    if (HostCallFails("RedrawWindow")) return FALSE;
    if (ExistingWindow(window) == nullptr) return FALSE;
    if (flags & RDW_INVALIDATE) HostInvalidateWindow(window);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND window, const RECT*) {
    if (HostCallFails("ValidateRect")) return FALSE;
    if (ExistingWindow(window) == nullptr) return FALSE;
    HostValidateWindow(window);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    if (HostCallFails("UpdateWindow")) return FALSE;
    Window* found = ExistingWindow(window);
    if (found == nullptr) return FALSE;
    if (found->waitsForPaint) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND window, LPRECT rect, BOOL) {
    if (HostCallFails("GetUpdateRect")) return FALSE;
    Window* found = ExistingWindow(window);
    if (found == nullptr) return FALSE;
    if (rect != nullptr)
        *rect = found->waitsForPaint ? RECT{0, 0, found->creation.width, found->creation.height}
                                     : RECT{0, 0, 0, 0};
    return found->waitsForPaint ? TRUE : FALSE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (HostCallFails("LoadCursorA")) return nullptr;
    const std::uintptr_t number = reinterpret_cast<std::uintptr_t>(name);
    for (WORD known : SystemCursors)
        if (instance == nullptr && number == known)
            return reinterpret_cast<HCURSOR>(CursorHandleBase + number);
    // The program has no cursors of its own.
    SetLastError(ErrorResourceNameNotFound);
    return nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HostCallFails("SetCursor");
    HCURSOR previous = shownCursor;
    shownCursor = cursor;
    return previous;
}

HCURSOR WINAPI GetCursor() { return shownCursor; }

bool HostWindowShown(HWND window) {
    Window* found = FindWindow(window);
    return found != nullptr && (found->creation.style & WS_VISIBLE) != 0;
}

// Only a window that is shown gets painted.
void HostInvalidateWindow(HWND window) {
    if (HostWindowShown(window)) FindWindow(window)->waitsForPaint = true;
}

void HostValidateWindow(HWND window) {
    Window* found = FindWindow(window);
    if (found != nullptr) found->waitsForPaint = false;
}

bool HostWindowCreated(HWND window, HostWindowCreation& creation) {
    Window* found = FindWindow(window);
    if (found == nullptr) return false;
    creation = found->creation;
    return true;
}
