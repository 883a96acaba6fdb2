// The program's one window: the tree view itself, with MainWindowProc in
// front of the control's own procedure.
#pragma once

#include "../platform/Platform.h"

// The tree view class's own procedure, set once when MainWindowProc is installed.
extern WNDPROC PreviousWindowProc;

// Creates the program's window: the tree view as a visible top-level window
// titled "Quernwick" that accepts dropped files. The control's own procedure
// still serves it; WinMain then puts MainWindowProc in front.
HWND CreateMainWindow(HINSTANCE instance);

// Closes on WM_CLOSE, copies on left Ctrl + the C key, lists dropped files;
// everything else goes to the control.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Replaces DroppedFiles with the drop's paths, releases the drop, rebuilds the tree.
void OnDropFiles(HWND window, HDROP drop);
