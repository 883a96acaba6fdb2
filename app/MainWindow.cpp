#include "MainWindow.h"

#include <vector>

#include "../tree/RebuildTree.h"
#include "CopyTreeToClipboard.h"

WNDPROC PreviousWindowProc = 0;

// The copy key is the key with this scan code, whatever letter the keyboard
// layout puts on it.
const unsigned CopyKeyScanCode = 0x2E;

const UINT AllDroppedFiles = 0xFFFFFFFF;

// An ordinary top-level window, shown at creation, and a tree with lines and
// buttons.
const DWORD MainWindowStyle = WS_VISIBLE | WS_OVERLAPPEDWINDOW | TVS_SHOWSELALWAYS |
                              TVS_LINESATROOT | TVS_HASLINES | TVS_HASBUTTONS;

HWND CreateMainWindow(HINSTANCE instance) {
    HWND desktop = GetDesktopWindow();
    return CreateWindowExA(WS_EX_ACCEPTFILES, "SysTreeView32", "Quernwick", MainWindowStyle,
                           CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, desktop, NULL, instance, NULL);
}

void OnDropFiles(HWND window, HDROP drop) {
    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    UINT count = DragQueryFileA(drop, AllDroppedFiles, NULL, 0);
    DroppedFiles.clear();
    std::vector<char> path;
    for (UINT index = 0; index < count; ++index) {
        // Each path is read whole, however long: a cut path would name
        // another file, or none.
        UINT length = DragQueryFileA(drop, index, NULL, 0);
        path.assign(length + 1, '\0');
        DragQueryFileA(drop, index, path.data(), length + 1);
        DroppedFiles.emplace_back(path.data());
    }
    DragFinish(drop);
    // Shown, the control would lay out and repaint itself after every item:
    // it is rebuilt unseen, then painted once.
    SendMessageA(window, WM_SETREDRAW, FALSE, 0);
    RebuildTree(window);
    SendMessageA(window, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window, NULL, NULL, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
    SetCursor(previous);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // Only ends the loop; the window goes away with the process.
            PostQuitMessage(0);
            return 0;
        case WM_CHAR:
            // Every typed character is taken here; the control never sees one.
            if (((lParam >> 16) & 0xFF) == CopyKeyScanCode && GetKeyState(VK_LCONTROL) < 0)
                CopyTreeToClipboard(window);
            return 0;
        case WM_DROPFILES:
            OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
            return 0;
        default:
            return CallWindowProcA(PreviousWindowProc, window, message, wParam, lParam);
    }
}
