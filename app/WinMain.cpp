// Quernwick: a tree view that lists the imports of the files dropped on it.
#include "../platform/Platform.h"
#include "MainWindow.h"

// The window's style: an ordinary top-level window, shown at creation, and
// a tree with lines and buttons.
const DWORD MainWindowStyle = WS_VISIBLE | WS_OVERLAPPEDWINDOW | TVS_SHOWSELALWAYS |
                              TVS_LINESATROOT | TVS_HASLINES | TVS_HASBUTTONS;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    HWND desktop = GetDesktopWindow();
    HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, "SysTreeView32", "Quernwick", MainWindowStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, desktop, NULL, instance,
                                  NULL);
    if (window == NULL) return 1;  // nothing to show, nothing to drop files on
    PreviousWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG>(MainWindowProc)));

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
