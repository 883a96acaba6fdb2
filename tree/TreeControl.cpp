#include "TreeControl.h"

#include <cstring>

HTREEITEM InsertItem(HWND tree, HTREEITEM parent, const std::string& text) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPSTR>(text.c_str());
    insert.item.cchTextMax = static_cast<int>(text.size());
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void DeleteAllItems(HWND tree) {
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

static HTREEITEM NextItem(HWND tree, WPARAM relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM FirstRootItem(HWND tree) { return NextItem(tree, TVGN_ROOT, 0); }

HTREEITEM FirstChildItem(HWND tree, HTREEITEM item) { return NextItem(tree, TVGN_CHILD, item); }

HTREEITEM NextSiblingItem(HWND tree, HTREEITEM item) { return NextItem(tree, TVGN_NEXT, item); }

static std::size_t ReadLabelInto(HWND tree, HTREEITEM item, char* buffer, std::size_t size) {
    TVITEMA request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = buffer;
    request.cchTextMax = static_cast<int>(size);
    buffer[0] = '\0';
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request));
    return strnlen(buffer, size);
}

// The control copies at most the buffer's size less one and a NUL (Wine's
// fills the whole buffer instead), so a label that fills the buffer may have
// been cut: it is read again with twice the room.
void AppendItemText(HWND tree, HTREEITEM item, std::string& text) {
    char label[MAX_PATH];
    std::size_t length = ReadLabelInto(tree, item, label, sizeof label);
    if (length + 1 < sizeof label) {
        text.append(label, length);
        return;
    }
    const std::size_t start = text.size();
    std::size_t room = 2 * sizeof label;
    for (;;) {
        text.resize(start + room);
        length = ReadLabelInto(tree, item, &text[start], room);
        if (length + 1 < room) {
            text.resize(start + length);
            return;
        }
        room *= 2;
    }
}
