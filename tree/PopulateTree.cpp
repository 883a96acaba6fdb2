#include "PopulateTree.h"

#include "TreeControl.h"

int SplitEntry(const std::string& entry, const std::string& separator,
               std::vector<std::string>& pieces) {
    pieces.clear();
    std::string::size_type position = 0;
    for (;;) {
        std::string::size_type found = entry.find(separator, position);
        if (found == std::string::npos) break;
        pieces.emplace_back(entry, position, found - position);
        position = found + separator.size();
    }
    pieces.emplace_back(entry, position, std::string::npos);
    return static_cast<int>(pieces.size());
}

// The levels are walked in one loop, without nested calls, so the nesting of
// a file's names cannot exhaust the stack, and each entry is split once.
// Each entry is compared with the one before it:
// - it continues the items of the levels whose pieces, and all pieces above,
//   equal the previous entry's; so an entry never lands beneath the items of
//   an entry with another path;
// - at the first level where its piece differs, it starts a new item, even
//   for an empty piece;
// - below that, each level is new to it: a non-empty piece starts an item, an
//   empty one starts none, and what lies below goes beneath the level above.
// The first entry meets levels as if the previous label had been empty.
int PopulateTree(HWND tree, HTREEITEM parent, const EntryList& entries, int start,
                 std::string prefix, const std::string& separator, int depth) {
    std::vector<std::string> pieces, previous;
    std::vector<HTREEITEM> items;  // the current item of each level from depth down
    const int count = static_cast<int>(entries.size());
    int index = start;
    for (; index < count; ++index) {
        const int pieceCount = SplitEntry(entries[index], separator, pieces);
        if (pieceCount <= depth) break;
        if (depth > 0 && pieces[depth - 1] != prefix) break;

        int level = depth;
        bool continues;
        if (index == start) {
            items.assign(1, parent);
            continues = pieces[level].empty();
        } else {
            const int previousCount = static_cast<int>(previous.size());
            while (level + 1 < pieceCount && level + 1 < previousCount &&
                   pieces[level] == previous[level])
                ++level;
            continues = pieces[level] == previous[level];
        }
        items.resize(level - depth + (continues ? 1 : 0));
        for (int at = level + (continues ? 1 : 0); at < pieceCount; ++at) {
            HTREEITEM above = items.empty() ? parent : items.back();
            bool fresh = at > level;
            items.push_back(fresh && pieces[at].empty() ? above
                                                        : InsertItem(tree, above, pieces[at]));
        }
        previous.swap(pieces);
    }
    return index - start;
}
