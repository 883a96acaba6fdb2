// Host layer internals shared by the window manager and the controls.
#pragma once

#include "Win32.h"

#define WM_NCCREATE 0x0081u
#define WM_NCDESTROY 0x0082u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u

// The window procedure of the class "SysTreeView32".
LRESULT TreeViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether the window was created shown (WS_VISIBLE).
bool HostWindowShown(HWND window);

// The window waits for a WM_PAINT; or it has been painted.
void HostInvalidateWindow(HWND window);
void HostValidateWindow(HWND window);
