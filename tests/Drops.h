// Drops built as the shell builds them for WM_DROPFILES: a global memory
// block holding a DROPFILES record, then the paths, each ended by a NUL, then
// an empty path.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

// A drop of ANSI paths.
HDROP MakeDrop(const std::vector<std::string>& paths);

// A drop of UTF-16 paths (fWide set).
HDROP MakeWideDrop(const std::vector<std::u16string>& paths);
