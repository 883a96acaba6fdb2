// Host layer: the tree-view control. Each window of the class owns a tree of
// items; an item handle is a number never handed out twice, so a deleted
// item's handle is never valid again. Siblings form a singly linked list with
// a pointer to the last child, so appending and walking take constant time.

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "HostCalls.h"
#include "HostWindows.h"

namespace {

struct Item {
    std::string text;
    HTREEITEM parent;  // nullptr for a root item
    HTREEITEM firstChild;
    HTREEITEM lastChild;
    HTREEITEM next;
};

struct Tree {
    std::unordered_map<HTREEITEM, Item> items;
    HTREEITEM firstRoot = nullptr;
    HTREEITEM lastRoot = nullptr;
};

std::unordered_map<HWND, Tree> trees;
std::uintptr_t nextItem = 0x100000;

Item* Find(Tree& tree, HTREEITEM handle) {
    auto found = tree.items.find(handle);
    return found == tree.items.end() ? nullptr : &found->second;
}

bool IsRoot(HTREEITEM handle) { return handle == nullptr || handle == TVI_ROOT; }

LRESULT InsertItem(Tree& tree, const TVINSERTSTRUCTA* insert) {
    HTREEITEM parentHandle = IsRoot(insert->hParent) ? nullptr : insert->hParent;
    Item* parent = parentHandle ? Find(tree, parentHandle) : nullptr;
    if (parentHandle != nullptr && parent == nullptr) return 0;
    HTREEITEM& first = parent ? parent->firstChild : tree.firstRoot;
    HTREEITEM& last = parent ? parent->lastChild : tree.lastRoot;

    HTREEITEM handle = reinterpret_cast<HTREEITEM>(nextItem);
    nextItem += 8;
    Item item{std::string(), parentHandle, nullptr, nullptr, nullptr};
    if ((insert->item.mask & TVIF_TEXT) && insert->item.pszText != nullptr)
        item.text = insert->item.pszText;  // the control reads up to the NUL

    HTREEITEM after = insert->hInsertAfter;
    if (after == TVI_FIRST || first == nullptr) {
        item.next = first;
        first = handle;
        if (last == nullptr) last = handle;
    } else if (after == TVI_LAST || Find(tree, after) == nullptr ||
               Find(tree, after)->parent != parentHandle) {
        Find(tree, last)->next = handle;
        last = handle;
    } else {
        Item* previous = Find(tree, after);
        item.next = previous->next;
        previous->next = handle;
        if (last == after) last = handle;
    }
    tree.items.emplace(handle, std::move(item));
    return reinterpret_cast<LRESULT>(handle);
}

// Removes an item and everything beneath it, without recursion.
void DeleteSubtree(Tree& tree, HTREEITEM top) {
    std::vector<HTREEITEM> pending{top};
    while (!pending.empty()) {
        HTREEITEM handle = pending.back();
        pending.pop_back();
        Item* item = Find(tree, handle);
        for (HTREEITEM child = item->firstChild; child != nullptr; child = Find(tree, child)->next)
            pending.push_back(child);
        tree.items.erase(handle);
    }
}

LRESULT DeleteItem(Tree& tree, HTREEITEM handle) {
    if (IsRoot(handle)) {
        tree.items.clear();
        tree.firstRoot = tree.lastRoot = nullptr;
        return TRUE;
    }
    Item* item = Find(tree, handle);
    if (item == nullptr) return FALSE;
    Item* parent = item->parent ? Find(tree, item->parent) : nullptr;
    HTREEITEM& first = parent ? parent->firstChild : tree.firstRoot;
    HTREEITEM& last = parent ? parent->lastChild : tree.lastRoot;
    HTREEITEM previous = nullptr;
    for (HTREEITEM sibling = first; sibling != handle; sibling = Find(tree, sibling)->next)
        previous = sibling;
    (previous ? Find(tree, previous)->next : first) = item->next;
    if (last == handle) last = previous;
    DeleteSubtree(tree, handle);
    return TRUE;
}

LRESULT GetNextItem(Tree& tree, WPARAM relation, HTREEITEM handle) {
    if (relation == TVGN_ROOT || (relation == TVGN_CHILD && IsRoot(handle)))
        return reinterpret_cast<LRESULT>(tree.firstRoot);
    Item* item = Find(tree, handle);
    if (item == nullptr) return 0;
    switch (relation) {
        case TVGN_NEXT: return reinterpret_cast<LRESULT>(item->next);
        case TVGN_CHILD: return reinterpret_cast<LRESULT>(item->firstChild);
        case TVGN_PARENT: return reinterpret_cast<LRESULT>(item->parent);
        default: return 0;
    }
}

LRESULT GetItem(Tree& tree, TVITEMA* request) {
    Item* item = Find(tree, request->hItem);
    if (item == nullptr) return FALSE;
    if ((request->mask & TVIF_TEXT) && request->pszText != nullptr && request->cchTextMax > 0) {
        // Like the real control: at most cchTextMax - 1 bytes and a NUL.
        std::size_t length = item->text.size();
        std::size_t room = static_cast<std::size_t>(request->cchTextMax) - 1;
        if (length > room) length = room;
        std::memcpy(request->pszText, item->text.data(), length);
        request->pszText[length] = '\0';
    }
    return TRUE;
}

}  // namespace

void WINAPI InitCommonControls() { HostCallFails("InitCommonControls"); }

LRESULT TreeViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        trees.erase(window);
        return 0;
    }
    Tree& tree = trees[window];
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
            return static_cast<LRESULT>(tree.items.size());
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
