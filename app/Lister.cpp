#include "Lister.h"

#include "../platform/Platform.h"
#include "../tree/RebuildTree.h"
#include "../tree/TreeControl.h"
#include "../tree/TreeToText.h"

static const char Usage[] = "usage: quernwick-list FILE...\r\n";

static const char Help[] =
    "usage: quernwick-list FILE...\r\n"
    "Lists the functions that PE files (exe, dll) import, exactly as Quernwick\r\n"
    "shows them after the files are dropped on its window in that order: each\r\n"
    "file's path, beneath it each DLL it imports from, beneath each DLL the\r\n"
    "functions (name, or # and the ordinal). The text is the one that Ctrl+C\r\n"
    "copies: tab-indented, CR LF line ends, an empty line between two files.\r\n"
    "Exit status: 0 every file read, 1 some file could not be read, 2 usage.\r\n";

int ListFiles(const std::vector<std::string>& arguments, std::string& output,
              std::string& errors) {
    if (arguments.empty()) {
        errors = Usage;
        return 2;
    }
    if (arguments.size() == 1 && arguments[0] == "--help") {
        output = Help;
        return 0;
    }
    // The same tree view as the program's window, never shown.
    InitCommonControls();
    HWND tree = CreateWindowExA(0, "SysTreeView32", "quernwick-list", 0, 0, 0, 0, 0, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    if (tree == NULL) {
        errors = "quernwick-list: could not create a tree view\r\n";
        return 1;
    }
    DroppedFiles = arguments;
    int unread = RebuildTree(tree);
    TreeToText(tree, output, FirstRootItem(tree), 0);
    DestroyWindow(tree);
    return unread == 0 ? 0 : 1;
}
