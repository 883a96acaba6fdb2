// The copy command: the whole tree as text on the clipboard.
#pragma once

#include "../platform/Platform.h"

// Places the tree's text on the clipboard as CF_TEXT. An empty tree leaves
// the clipboard alone. A failed step is reported in a message box with its
// error code, and what the copy held is then released.
void CopyTreeToClipboard(HWND window);
