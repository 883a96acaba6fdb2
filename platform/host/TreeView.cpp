// Host layer: the tree-view control. Each window of the class owns a tree of
// items. Items and their labels live in large blocks, so that inserting
// allocates only now and then and nothing is ever moved; an item's handle is the tree's base plus
// its index, and a tree emptied of all its items takes a new base that no
// handle has had, so a deleted item's handle is never valid again. Siblings
// form a singly linked list with the last child kept, so appending and
// walking take constant time.
// Like the real control, a tree shown with redraw on lays out and repaints
// its items after each insertion or deletion; WM_SETREDRAW turns that off.

#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "HostCalls.h"
#include "HostTesting.h"
#include "HostWindows.h"

namespace {

typedef std::uint32_t Index;
const Index None = 0xFFFFFFFF;

struct Item {
    const char* text;  // in one of the tree's label blocks
    Index textLength;
    Index parent;  // None for a root item
    Index firstChild, lastChild, next;
    bool deleted;
};

struct Tree {
    std::uintptr_t base;
    // Items in blocks of a fixed size: they never move, and finding one is
    // two array steps.
    std::vector<std::unique_ptr<Item[]>> itemBlocks;
    Index itemCount = 0;  // items inserted, deleted ones included
    std::vector<std::unique_ptr<char[]>> labelBlocks;
    char* labelFree = nullptr;  // the free bytes at the end of the last block
    std::size_t labelRoom = 0;
    Index firstRoot = None, lastRoot = None;
    std::size_t count = 0;  // items not deleted
    bool redraw = true;
    unsigned layouts = 0;  // after single insertions and deletions
};

const std::size_t LabelBlockSize = 64 * 1024;
const Index ItemBlockBits = 12;
const Index ItemBlockSize = 1u << ItemBlockBits;

Item& ItemAt(Tree& tree, Index index) {
    return tree.itemBlocks[index >> ItemBlockBits][index & (ItemBlockSize - 1)];
}

const Item& ItemAt(const Tree& tree, Index index) {
    return tree.itemBlocks[index >> ItemBlockBits][index & (ItemBlockSize - 1)];
}

void AddItem(Tree& tree, const Item& item) {
    if ((tree.itemCount & (ItemBlockSize - 1)) == 0) tree.itemBlocks.emplace_back(new Item[ItemBlockSize]);
    ItemAt(tree, tree.itemCount++) = item;
}

std::unordered_map<HWND, Tree> trees;
// The tree of the window that had the last message: most often the next one's.
HWND lastWindow = nullptr;
Tree* lastTree = nullptr;
// Handles are base + 8 * index; each base is far from every earlier one.
std::uintptr_t nextBase = 0x100000;
const std::uintptr_t BaseStride = static_cast<std::uintptr_t>(1) << 40;

void NewBase(Tree& tree) {
    tree.base = nextBase;
    nextBase += BaseStride;
}

HTREEITEM HandleOf(const Tree& tree, Index index) {
    return index == None ? nullptr : reinterpret_cast<HTREEITEM>(tree.base + 8 * index);
}

Index IndexOf(const Tree& tree, HTREEITEM handle) {
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    if (value < tree.base || (value - tree.base) % 8 != 0 || (value - tree.base) / 8 >= None)
        return None;
    Index index = static_cast<Index>((value - tree.base) / 8);
    if (index >= tree.itemCount || ItemAt(tree, index).deleted) return None;
    return index;
}

// Keeps a copy of text in the tree's label blocks.
const char* StoreLabel(Tree& tree, const char* text, std::size_t length) {
    if (length == 0) return "";
    if (length > tree.labelRoom) {
        std::size_t size = length > LabelBlockSize ? length : LabelBlockSize;
        tree.labelBlocks.emplace_back(new char[size]);
        tree.labelFree = tree.labelBlocks.back().get();
        tree.labelRoom = size;
    }
    char* stored = tree.labelFree;
    std::memcpy(stored, text, length);
    tree.labelFree += length;
    tree.labelRoom -= length;
    return stored;
}

bool IsRoot(HTREEITEM handle) { return handle == nullptr || handle == TVI_ROOT; }

LRESULT InsertItem(Tree& tree, const TVINSERTSTRUCTA* insert) {
    Index parent = IsRoot(insert->hParent) ? None : IndexOf(tree, insert->hParent);
    if (!IsRoot(insert->hParent) && parent == None) return 0;

    Index index = tree.itemCount;
    Item item{nullptr, 0, parent, None, None, None, false};
    if ((insert->item.mask & TVIF_TEXT) && insert->item.pszText != nullptr) {
        // The control reads up to the NUL, whatever cchTextMax says.
        item.textLength = static_cast<Index>(std::strlen(insert->item.pszText));
        item.text = StoreLabel(tree, insert->item.pszText, item.textLength);
    }
    Index& first = parent == None ? tree.firstRoot : ItemAt(tree, parent).firstChild;
    Index& last = parent == None ? tree.lastRoot : ItemAt(tree, parent).lastChild;
    Index after = IndexOf(tree, insert->hInsertAfter);
    if (insert->hInsertAfter == TVI_FIRST || first == None) {
        item.next = first;
        first = index;
        if (last == None) last = index;
    } else if (after == None || ItemAt(tree, after).parent != parent) {
        ItemAt(tree, last).next = index;  // TVI_LAST, or no sibling to follow
        last = index;
    } else {
        item.next = ItemAt(tree, after).next;
        ItemAt(tree, after).next = index;
        if (last == after) last = index;
    }
    AddItem(tree, item);
    ++tree.count;
    return reinterpret_cast<LRESULT>(HandleOf(tree, index));
}

LRESULT DeleteItem(Tree& tree, HTREEITEM handle) {
    if (IsRoot(handle)) {
        tree.itemBlocks.clear();
        tree.itemCount = 0;
        tree.labelBlocks.clear();
        tree.labelFree = nullptr;
        tree.labelRoom = 0;
        tree.firstRoot = tree.lastRoot = None;
        tree.count = 0;
        NewBase(tree);
        return TRUE;
    }
    Index index = IndexOf(tree, handle);
    if (index == None) return FALSE;
    Index parent = ItemAt(tree, index).parent;
    Index& first = parent == None ? tree.firstRoot : ItemAt(tree, parent).firstChild;
    Index& last = parent == None ? tree.lastRoot : ItemAt(tree, parent).lastChild;
    Index previous = None;
    for (Index sibling = first; sibling != index; sibling = ItemAt(tree, sibling).next)
        previous = sibling;
    (previous == None ? first : ItemAt(tree, previous).next) = ItemAt(tree, index).next;
    if (last == index) last = previous;
    // The item and everything beneath it, without recursion.
    std::vector<Index> pending{index};
    while (!pending.empty()) {
        Item& item = ItemAt(tree, pending.back());
        pending.pop_back();
        for (Index child = item.firstChild; child != None; child = ItemAt(tree, child).next)
            pending.push_back(child);
        item.deleted = true;
        --tree.count;
    }
    return TRUE;
}

LRESULT GetNextItem(Tree& tree, WPARAM relation, HTREEITEM handle) {
    if (relation == TVGN_ROOT || (relation == TVGN_CHILD && IsRoot(handle)))
        return reinterpret_cast<LRESULT>(HandleOf(tree, tree.firstRoot));
    Index index = IndexOf(tree, handle);
    if (index == None) return 0;
    const Item& item = ItemAt(tree, index);
    switch (relation) {
        case TVGN_NEXT: return reinterpret_cast<LRESULT>(HandleOf(tree, item.next));
        case TVGN_CHILD: return reinterpret_cast<LRESULT>(HandleOf(tree, item.firstChild));
        case TVGN_PARENT: return reinterpret_cast<LRESULT>(HandleOf(tree, item.parent));
        default: return 0;
    }
}

LRESULT GetItem(Tree& tree, TVITEMA* request) {
    Index index = IndexOf(tree, request->hItem);
    if (index == None) return FALSE;
    if ((request->mask & TVIF_TEXT) && request->pszText != nullptr && request->cchTextMax > 0) {
        // Like the real control: at most cchTextMax - 1 bytes and a NUL.
        const Item& item = ItemAt(tree, index);
        std::size_t length = item.textLength;
        std::size_t room = static_cast<std::size_t>(request->cchTextMax) - 1;
        if (length > room) length = room;
        std::memcpy(request->pszText, item.text, length);
        request->pszText[length] = '\0';
    }
    return TRUE;
}

// After an item changed: what the control shows must be laid out again.
LRESULT Changed(HWND window, Tree& tree, LRESULT result) {
    if (result != 0 && tree.redraw && HostWindowShown(window)) {
        ++tree.layouts;
        HostInvalidateWindow(window);
    }
    return result;
}

}  // namespace

void WINAPI InitCommonControls() { HostCallFails("InitCommonControls"); }

LRESULT TreeViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        trees.erase(window);
        lastWindow = nullptr;
        return 0;
    }
    if (window != lastWindow) {
        auto found = trees.find(window);
        if (found == trees.end()) {
            found = trees.emplace(window, Tree()).first;
            NewBase(found->second);
        }
        lastWindow = window;
        lastTree = &found->second;
    }
    Tree& tree = *lastTree;
    switch (message) {
        case TVM_INSERTITEMA:
            return Changed(window, tree,
                           InsertItem(tree, reinterpret_cast<const TVINSERTSTRUCTA*>(lParam)));
        case TVM_DELETEITEM:
            return Changed(window, tree, DeleteItem(tree, reinterpret_cast<HTREEITEM>(lParam)));
        case TVM_GETNEXTITEM:
            return GetNextItem(tree, wParam, reinterpret_cast<HTREEITEM>(lParam));
        case TVM_GETITEMA:
            return GetItem(tree, reinterpret_cast<TVITEMA*>(lParam));
        case TVM_GETCOUNT:
            return static_cast<LRESULT>(tree.count);
        case WM_SETREDRAW:
            tree.redraw = wParam != 0;
            if (tree.redraw) HostInvalidateWindow(window);  // shows what changed meanwhile
            return 0;
        case WM_PAINT:
            HostValidateWindow(window);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

unsigned HostTreeLayouts(HWND window) {
    auto found = trees.find(window);
    return found == trees.end() ? 0 : found->second.layouts;
}
