#include "TreeWindow.h"

#include <vector>

#include "tree/TreeControl.h"

HWND CreateTreeWindow() {
    InitCommonControls();
    return CreateWindowExA(0, "SysTreeView32", "tests", 0, 0, 0, 200, 200, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

static HTREEITEM Next(HWND tree, WPARAM relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::string Picture(HWND tree, HTREEITEM parent) {
    std::string picture;
    HTREEITEM item = parent == TVI_ROOT ? Next(tree, TVGN_ROOT, NULL) : Next(tree, TVGN_CHILD, parent);
    for (; item != NULL; item = Next(tree, TVGN_NEXT, item)) {
        std::vector<char> label(100000);
        TVITEMA request = {};
        request.mask = TVIF_TEXT;
        request.hItem = item;
        request.pszText = label.data();
        request.cchTextMax = static_cast<int>(label.size());
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request));
        if (!picture.empty()) picture += ' ';
        picture += label.data();
        std::string children = Picture(tree, item);
        if (!children.empty()) picture += "(" + children + ")";
    }
    return picture;
}

void BuildExample(HWND tree) {
    HTREEITEM demo = InsertItem(tree, TVI_ROOT, "C:\\work\\demo.exe");
    HTREEITEM kernel = InsertItem(tree, demo, "KERNEL32.dll");
    InsertItem(tree, kernel, "ExitProcess");
    InsertItem(tree, kernel, "GetLastError");
    HTREEITEM ws2 = InsertItem(tree, demo, "WS2_32.dll");
    InsertItem(tree, ws2, "#23");
    InsertItem(tree, TVI_ROOT, "Could not read C:\\work\\notes.txt");
}

const std::string ExampleText =
    "C:\\work\\demo.exe\r\n"
    "\tKERNEL32.dll\r\n"
    "\t\tExitProcess\r\n"
    "\t\tGetLastError\r\n"
    "\tWS2_32.dll\r\n"
    "\t\t#23\r\n"
    "\r\n"
    "Could not read C:\\work\\notes.txt\r\n";
