#include "MainWindow.h"

#include <vector>

#include "../tree/RebuildTree.h"
#include "CopyTreeToClipboard.h"

WNDPROC PreviousWindowProc = 0;

// The copy key is the key with this scan code, whatever letter the keyboard
// layout puts on it.
const unsigned CopyKeyScanCode = 0x2E;

const UINT AllDroppedFiles = 0xFFFFFFFF;

void OnDropFiles(HWND window, HDROP drop) {
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
    RebuildTree(window);
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
