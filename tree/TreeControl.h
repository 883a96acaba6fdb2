// Operations on the tree-view control, each one message to the window.
#pragma once

#include <string>

#include "../platform/Platform.h"

// Appends an item with the given text as the last child of parent (TVI_ROOT
// for a root item) and returns its handle.
HTREEITEM InsertItem(HWND tree, HTREEITEM parent, const std::string& text);

void DeleteAllItems(HWND tree);

// 0 where there is no such item.
HTREEITEM FirstRootItem(HWND tree);
HTREEITEM FirstChildItem(HWND tree, HTREEITEM item);
HTREEITEM NextSiblingItem(HWND tree, HTREEITEM item);

// Appends the item's whole label, however long, to text.
void AppendItemText(HWND tree, HTREEITEM item, std::string& text);
