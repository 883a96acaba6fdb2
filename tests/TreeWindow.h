// A tree-view window for the tests, and a compact picture of its items.
#pragma once

#include <string>

#include "platform/Platform.h"

// Creates a hidden tree-view window; destroyed with the fixture.
HWND CreateTreeWindow();

// The items beneath parent (TVI_ROOT for the whole tree) as
// "label(child child) label", read with plain control messages.
std::string Picture(HWND tree, HTREEITEM parent = TVI_ROOT);

// The copy example: C:\work\demo.exe with KERNEL32.dll (ExitProcess,
// GetLastError) and WS2_32.dll (#23), then "Could not read C:\work\notes.txt".
void BuildExample(HWND tree);

// Its text: 8 lines, 120 bytes.
extern const std::string ExampleText;
