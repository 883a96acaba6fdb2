#include "RebuildTree.h"

#include "../import/ImportReader.h"
#include "PopulateTree.h"
#include "TreeControl.h"

std::vector<std::string> DroppedFiles;

int RebuildTree(HWND tree) {
    DeleteAllItems(tree);
    EntryList entries;  // one list for the whole rebuild; each read empties it
    int unread = 0;
    for (const std::string& path : DroppedFiles) {
        if (ReadImports(path, entries, DllFunctions)) {
            HTREEITEM file = InsertItem(tree, TVI_ROOT, path);
            PopulateTree(tree, file, entries, 0, std::string(), EntrySeparator, 0);
        } else {
            InsertItem(tree, TVI_ROOT, "Could not read " + path);
            ++unread;
        }
    }
    return unread;
}
