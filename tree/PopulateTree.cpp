#include "PopulateTree.h"

#include "TreeControl.h"

// A piece as a range of its entry, so that splitting copies nothing.
struct Piece {
    std::string::size_type start, length;
};

static void SplitInPlace(const std::string& entry, const std::string& separator,
                         std::vector<Piece>& pieces) {
    pieces.clear();
    std::string::size_type position = 0;
    for (;;) {
        std::string::size_type found = entry.find(separator, position);
        if (found == std::string::npos) break;
        pieces.push_back(Piece{position, found - position});
        position = found + separator.size();
    }
    pieces.push_back(Piece{position, entry.size() - position});
}

int SplitEntry(const std::string& entry, const std::string& separator,
               std::vector<std::string>& pieces) {
    std::vector<Piece> ranges;
    SplitInPlace(entry, separator, ranges);
    pieces.clear();
    for (const Piece& range : ranges) pieces.emplace_back(entry, range.start, range.length);
    return static_cast<int>(pieces.size());
}

static bool SamePiece(const std::string& entry, const Piece& piece, const std::string& other,
                      const Piece& otherPiece) {
    return piece.length == otherPiece.length &&
           entry.compare(piece.start, piece.length, other, otherPiece.start, otherPiece.length) == 0;
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
    std::vector<Piece> pieces, previous;
    const std::string* previousEntry = nullptr;
    std::vector<HTREEITEM> items;  // the current item of each level from depth down
    std::string label;
    const int count = static_cast<int>(entries.size());
    int index = start;
    for (; index < count; ++index) {
        const std::string& entry = entries[index];
        SplitInPlace(entry, separator, pieces);
        const int pieceCount = static_cast<int>(pieces.size());
        if (pieceCount <= depth) break;
        if (depth > 0 && entry.compare(pieces[depth - 1].start, pieces[depth - 1].length, prefix) != 0)
            break;

        int level = depth;
        bool continues;
        if (index == start) {
            items.assign(1, parent);
            continues = pieces[level].length == 0;
        } else {
            const int previousCount = static_cast<int>(previous.size());
            while (level + 1 < pieceCount && level + 1 < previousCount &&
                   SamePiece(entry, pieces[level], *previousEntry, previous[level]))
                ++level;
            continues = SamePiece(entry, pieces[level], *previousEntry, previous[level]);
        }
        items.resize(level - depth + (continues ? 1 : 0));
        for (int at = level + (continues ? 1 : 0); at < pieceCount; ++at) {
            HTREEITEM above = items.empty() ? parent : items.back();
            if (at > level && pieces[at].length == 0) {
                items.push_back(above);
            } else {
                label.assign(entry, pieces[at].start, pieces[at].length);
                items.push_back(InsertItem(tree, above, label));
            }
        }
        previous.swap(pieces);
        previousEntry = &entry;
    }
    return index - start;
}
