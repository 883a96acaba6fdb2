// Host layer: the tree-view control. Each window of the class owns a tree of
// items. Items live in a vector and their labels in one buffer, so inserting
// costs no allocation of its own; an item's handle is the tree's base plus
// its index, and a tree emptied of all its items takes a new base that no
// handle has had, so a deleted item's handle is never valid again. Siblings
// form a singly linked list with the last child kept, so appending and
// walking take constant time.

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "HostCalls.h"
#include "HostWindows.h"

namespace {

typedef std::uint32_t Index;
const Index None = 0xFFFFFFFF;

struct Item {
    std::size_t textStart;  // in the tree's label buffer
    Index textLength;
    Index parent;  // None for a root item
    Index firstChild, lastChild, next;
    bool deleted;
};

struct Tree {
    std::uintptr_t base;
    std::vector<Item> items;
    std::vector<char> labels;
    Index firstRoot = None, lastRoot = None;
    std::size_t count = 0;  // items not deleted
};

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
    if (index >= tree.items.size() || tree.items[index].deleted) return None;
    return index;
}

bool IsRoot(HTREEITEM handle) { return handle == nullptr || handle == TVI_ROOT; }

LRESULT InsertItem(Tree& tree, const TVINSERTSTRUCTA* insert) {
    Index parent = IsRoot(insert->hParent) ? None : IndexOf(tree, insert->hParent);
    if (!IsRoot(insert->hParent) && parent == None) return 0;

    Index index = static_cast<Index>(tree.items.size());
    Item item{tree.labels.size(), 0, parent, None, None, None, false};
    if ((insert->item.mask & TVIF_TEXT) && insert->item.pszText != nullptr) {
        // The control reads up to the NUL, whatever cchTextMax says.
        item.textLength = static_cast<Index>(std::strlen(insert->item.pszText));
        tree.labels.insert(tree.labels.end(), insert->item.pszText,
                           insert->item.pszText + item.textLength);
    }
    Index& first = parent == None ? tree.firstRoot : tree.items[parent].firstChild;
    Index& last = parent == None ? tree.lastRoot : tree.items[parent].lastChild;
    Index after = IndexOf(tree, insert->hInsertAfter);
    if (insert->hInsertAfter == TVI_FIRST || first == None) {
        item.next = first;
        first = index;
        if (last == None) last = index;
    } else if (after == None || tree.items[after].parent != parent) {
        tree.items[last].next = index;  // TVI_LAST, or no sibling to follow
        last = index;
    } else {
        item.next = tree.items[after].next;
        tree.items[after].next = index;
        if (last == after) last = index;
    }
    tree.items.push_back(item);
    ++tree.count;
    return reinterpret_cast<LRESULT>(HandleOf(tree, index));
}

LRESULT DeleteItem(Tree& tree, HTREEITEM handle) {
    if (IsRoot(handle)) {
        tree.items.clear();
        tree.labels.clear();
        tree.firstRoot = tree.lastRoot = None;
        tree.count = 0;
        NewBase(tree);
        return TRUE;
    }
    Index index = IndexOf(tree, handle);
    if (index == None) return FALSE;
    Index parent = tree.items[index].parent;
    Index& first = parent == None ? tree.firstRoot : tree.items[parent].firstChild;
    Index& last = parent == None ? tree.lastRoot : tree.items[parent].lastChild;
    Index previous = None;
    for (Index sibling = first; sibling != index; sibling = tree.items[sibling].next)
        previous = sibling;
    (previous == None ? first : tree.items[previous].next) = tree.items[index].next;
    if (last == index) last = previous;
    // The item and everything beneath it, without recursion.
    std::vector<Index> pending{index};
    while (!pending.empty()) {
        Item& item = tree.items[pending.back()];
        pending.pop_back();
        for (Index child = item.firstChild; child != None; child = tree.items[child].next)
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
    const Item& item = tree.items[index];
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
        const Item& item = tree.items[index];
        std::size_t length = item.textLength;
        std::size_t room = static_cast<std::size_t>(request->cchTextMax) - 1;
        if (length > room) length = room;
        std::memcpy(request->pszText, tree.labels.data() + item.textStart, length);
        request->pszText[length] = '\0';
    }
    return TRUE;
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
            return InsertItem(tree, reinterpret_cast<const TVINSERTSTRUCTA*>(lParam));
        case TVM_DELETEITEM:
            return DeleteItem(tree, reinterpret_cast<HTREEITEM>(lParam));
        case TVM_GETNEXTITEM:
            return GetNextItem(tree, wParam, reinterpret_cast<HTREEITEM>(lParam));
        case TVM_GETITEMA:
            return GetItem(tree, reinterpret_cast<TVITEMA*>(lParam));
        case TVM_GETCOUNT:
            return static_cast<LRESULT>(tree.count);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
