// The paths of the last drop, and the tree rebuilt from them.
#pragma once

#include <string>
#include <vector>

#include "../platform/Platform.h"

// The full paths of the last drop, in the drop's order. Process-wide.
extern std::vector<std::string> DroppedFiles;

// Replaces the whole tree with one root item per path of DroppedFiles: the
// path with the file's imports beneath it, or "Could not read " and the path.
// Returns the number of files that could not be read.
int RebuildTree(HWND tree);
