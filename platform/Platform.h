// The one platform header of the program: the Win32 API, ANSI forms.
// On Windows these are the system's own headers; elsewhere the host layer in
// host/ supplies the subset that the program calls.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#else
#include "host/Win32.h"
#endif
