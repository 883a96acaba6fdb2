// The tree as text: one line per item, a tab per level, CR LF line ends and an
// empty line between the listings of two root items.
#pragma once

#include <string>

#include "../platform/Platform.h"

// Appends the lines of first and its following siblings, each with its whole
// subtree, at depth tabs. Empty lines stand between the items of the run only
// when depth is 0. Returns the number of lines (CR LF pairs) appended.
int TreeToText(HWND tree, std::string& text, HTREEITEM first, int depth);
