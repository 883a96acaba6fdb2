// Turns entries of pieces joined by a separator into tree items: consecutive
// entries that agree on their pieces down to a level share the items of those
// levels, and each next piece goes one level deeper.
#pragma once

#include <string>
#include <vector>

#include "../import/ImportReader.h"
#include "../platform/Platform.h"

// Empties pieces, then fills it with the texts before, between and after the
// occurrences of separator (found left to right, not overlapping). Returns
// the number of pieces, at least 1. separator must not be empty.
int SplitEntry(const std::string& entry, const std::string& separator,
               std::vector<std::string>& pieces);

// Inserts the items for entries[start...] beneath parent, the items of level
// depth being children of parent. An entry belongs here while it has a piece
// at level depth and, for depth > 0, its piece at depth - 1 equals prefix.
// Returns the number of consecutive entries from start that belong here.
int PopulateTree(HWND tree, HTREEITEM parent, const EntryList& entries, int start,
                 std::string prefix, const std::string& separator, int depth);
