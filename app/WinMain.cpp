// Quernwick: a tree view that lists the imports of the files dropped on it.
#include "../platform/Platform.h"
#include "MainWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    HWND window = CreateMainWindow(instance);
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
