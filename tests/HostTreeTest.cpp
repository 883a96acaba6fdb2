// What only the host layer can show of the tree: deep trees built and written
// out on a small stack, and the control's handles after deletion.
#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>

#include "TreeWindow.h"
#include "tree/PopulateTree.h"
#include "tree/TreeControl.h"
#include "tree/TreeToText.h"

namespace {

// Runs work on a thread whose stack is far too small for one call per level.
void OnSmallStack(std::function<void()> work) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &work), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(HostTree, HundredThousandSeparatorsOnASmallStack) {
    HWND tree = CreateTreeWindow();
    std::string deep = "0";
    for (int level = 1; level <= 100000; ++level) deep += ": x";
    std::string deepText;
    int result = 0, lines = 0;
    OnSmallStack([&] {
        HTREEITEM parent = InsertItem(tree, TVI_ROOT, "P");
        result = PopulateTree(tree, parent, {deep, deep, "1: y"}, 0, "", EntrySeparator, 0);
    });
    EXPECT_EQ(result, 3);
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 1 + 100001 + 2);

    // Written out on the same small stack: 5,000 levels.
    DeleteAllItems(tree);
    std::string fiveThousand = "0";
    for (int level = 1; level < 5000; ++level) fiveThousand += ": x";
    OnSmallStack([&] {
        PopulateTree(tree, TVI_ROOT, {fiveThousand}, 0, "", EntrySeparator, 0);
        lines = TreeToText(tree, deepText, FirstRootItem(tree), 0);
    });
    EXPECT_EQ(lines, 5000);
    EXPECT_EQ(deepText.size(), 4999u * 5000u / 2 + 5000u * 3);
    DestroyWindow(tree);
}

TEST(HostTree, DeletedItemsAreNeverValidAgain) {
    HWND tree = CreateTreeWindow();
    HTREEITEM root = InsertItem(tree, TVI_ROOT, "r");
    HTREEITEM child = InsertItem(tree, root, "c");
    DeleteAllItems(tree);
    HTREEITEM again = InsertItem(tree, TVI_ROOT, "r");
    EXPECT_NE(again, root);
    EXPECT_NE(again, child);
    char buffer[8];
    TVITEMA request = {TVIF_TEXT, child, 0, 0, buffer, sizeof buffer, 0, 0, 0, 0};
    EXPECT_EQ(SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request)), FALSE);
    EXPECT_EQ(FirstChildItem(tree, root), nullptr);
    EXPECT_EQ(InsertItem(tree, child, "orphan"), nullptr) << "no parent, no item";
    DestroyWindow(tree);
}

TEST(HostTree, OnlyTheTreeViewClassExists) {
    EXPECT_EQ(CreateWindowExA(0, "BUTTON", "b", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL), nullptr);
    HWND tree = CreateWindowExA(0, "systreeview32", "t", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    EXPECT_NE(tree, nullptr) << "class names are not case-sensitive";
    DestroyWindow(tree);
}

}  // namespace
