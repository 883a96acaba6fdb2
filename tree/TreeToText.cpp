#include "TreeToText.h"

#include <vector>

#include "TreeControl.h"

// Pre-order without recursion: the ancestors of the current item wait on a
// stack, so no depth of the tree can exhaust the program's stack.
int TreeToText(HWND tree, std::string& text, HTREEITEM first, int depth) {
    int lines = 0;
    std::vector<HTREEITEM> ancestors;
    HTREEITEM item = first;
    while (item != 0) {
        text.append(depth + ancestors.size(), '\t');
        AppendItemText(tree, item, text);
        text += "\r\n";
        ++lines;

        HTREEITEM child = FirstChildItem(tree, item);
        if (child != 0) {
            ancestors.push_back(item);
            item = child;
            continue;
        }
        // Up to the nearest item with a following sibling.
        for (;;) {
            HTREEITEM next = NextSiblingItem(tree, item);
            if (ancestors.empty()) {
                if (next != 0 && depth == 0) {
                    text += "\r\n";
                    ++lines;
                }
                item = next;
                break;
            }
            if (next != 0) {
                item = next;
                break;
            }
            item = ancestors.back();
            ancestors.pop_back();
        }
    }
    return lines;
}
