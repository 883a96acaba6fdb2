// The tree: control operations, population, text export and rebuild, against
// the platform's tree-view control.
#include <gtest/gtest.h>

#include <cstring>

#include "ImageBuilder.h"
#include "TestFiles.h"
#include "TreeWindow.h"
#include "tree/PopulateTree.h"
#include "tree/RebuildTree.h"
#include "tree/TreeControl.h"
#include "tree/TreeToText.h"

namespace {

// An item's whole label, as the export reads it.
std::string Label(HWND tree, HTREEITEM item) {
    std::string label;
    AppendItemText(tree, item, label);
    return label;
}

class Tree : public ::testing::Test {
protected:
    void SetUp() override {
        tree = CreateTreeWindow();
        ASSERT_NE(tree, nullptr);
    }
    void TearDown() override { DestroyWindow(tree); }

    std::string Text(int* lines = nullptr) {
        std::string text;
        int count = TreeToText(tree, text, FirstRootItem(tree), 0);
        if (lines) *lines = count;
        return text;
    }

    HWND tree = NULL;
};

TEST_F(Tree, ControlKeepsInsertionOrderAndCutsLabelsToTheBuffer) {
    HTREEITEM b = InsertItem(tree, TVI_ROOT, "b");
    HTREEITEM a = InsertItem(tree, TVI_ROOT, "a");
    ASSERT_NE(b, nullptr);
    ASSERT_NE(a, nullptr);
    InsertItem(tree, b, "z");
    InsertItem(tree, b, "y");
    InsertItem(tree, TVI_ROOT, std::string(300, 'L'));
    EXPECT_EQ(Picture(tree), "b(z y) a " + std::string(300, 'L'));

    // A read with a 260-byte buffer gives the label's first 259 bytes and
    // writes nothing past the buffer. Windows ends them with a NUL; Wine's
    // control fills the 260th byte with the label's next byte instead, which
    // is why labels are read with a buffer that grows until one is left over.
    HTREEITEM longItem = NextSiblingItem(tree, a);
    char buffer[300];
    std::memset(buffer, 'x', sizeof buffer);
    TVITEMA request = {};
    request.mask = TVIF_TEXT;
    request.hItem = longItem;
    request.pszText = buffer;
    request.cchTextMax = 260;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(std::string(buffer, 259), std::string(259, 'L'));
    EXPECT_TRUE(buffer[259] == '\0' || buffer[259] == 'L') << int(buffer[259]);
    EXPECT_EQ(std::string(buffer + 260, 40), std::string(40, 'x'));

    EXPECT_EQ(Label(tree, longItem), std::string(300, 'L'));

    DeleteAllItems(tree);
    EXPECT_EQ(FirstRootItem(tree), nullptr);
    EXPECT_EQ(Picture(tree), "");
}

TEST_F(Tree, LabelsOfAnyLengthAreReadWhole) {
    for (std::size_t length : {0u, 258u, 259u, 260u, 519u, 5000u}) {
        SCOPED_TRACE(length);
        std::string text(length, 'q');
        if (length > 0) text.back() = 'e';
        HTREEITEM item = InsertItem(tree, TVI_ROOT, text);
        std::string label = Label(tree, item);
        EXPECT_TRUE(label == text) << label.size();
    }
}

TEST(SplitEntry, CutsAtEveryOccurrenceLeftToRight) {
    struct Row {
        std::string entry, separator;
        std::vector<std::string> pieces;
    };
    const std::vector<Row> rows = {
        {"KERNEL32.dll: CreateFileA", ": ", {"KERNEL32.dll", "CreateFileA"}},
        {"no separator", ": ", {"no separator"}},
        {"", ": ", {""}},
        {": ", ": ", {"", ""}},
        {"a: : b", ": ", {"a", "", "b"}},
        {"dll: ", ": ", {"dll", ""}},
        {"a:b: c:", ": ", {"a:b", "c:"}},
        {"aaa", "aa", {"", "a"}},
    };
    std::vector<std::string> pieces = {"stale"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry);
        EXPECT_EQ(SplitEntry(row.entry, row.separator, pieces), static_cast<int>(row.pieces.size()));
        EXPECT_EQ(pieces, row.pieces);
    }
}

TEST_F(Tree, PopulateGroupsConsecutiveEntries) {
    struct Row {
        const char* name;
        EntryList entries;
        std::string picture;
        int result;
    };
    const std::vector<Row> rows = {
        {"example 1: runs of DLLs",
         {"KERNEL32.dll: GetLastError", "KERNEL32.dll: CreateFileA", "USER32.dll: MessageBoxA",
          "WS2_32.dll: #3"},
         "P(KERNEL32.dll(GetLastError CreateFileA) USER32.dll(MessageBoxA) WS2_32.dll(#3))", 4},
        {"example 2: a DLL that comes back gets a second item",
         {"A.dll: f", "B.dll: g", "A.dll: h"}, "P(A.dll(f) B.dll(g) A.dll(h))", 3},
        {"example 3: empty pieces",
         {": f", "A.dll: g", "A.dll: "}, "P(f A.dll(g ))", 3},
        {"example 4: three levels",
         {"A: x: 1", "A: x: 2", "A: y: 3", "B: x: 4"}, "P(A(x(1 2) y(3)) B(x(4)))", 4},
        {"an entry never lands beneath another path's items",
         {"A: x: 1", "B: x: 2"}, "P(A(x(1)) B(x(2)))", 2},
        {"empty list", {}, "P", 0},
        {"one function", {"K.dll: f"}, "P(K.dll(f))", 1},
        {"entry without separator, then equal", {"solo", "solo", "K.dll: f"}, "P(solo K.dll(f))", 3},
        {"DLL and separator alone, first and after another entry",
         {"K.dll: ", "K.dll: f", "K.dll: "}, "P(K.dll(f ))", 3},
        {"empty entry at the head", {"", "K.dll: f"}, "P(K.dll(f))", 2},
        {"two equal entries", {"K.dll: f", "K.dll: f"}, "P(K.dll(f))", 2},
        {"a shorter entry ends the deeper items", {"A: x: 1", "A", "A: x: 2"},
         "P(A(x(1) x(2)))", 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteAllItems(tree);
        HTREEITEM parent = InsertItem(tree, TVI_ROOT, "P");
        EXPECT_EQ(PopulateTree(tree, parent, row.entries, 0, "", EntrySeparator, 0), row.result);
        EXPECT_EQ(Picture(tree), row.picture);
    }
}

TEST_F(Tree, PopulateFromAStartAndBelowTheTopLevel) {
    const EntryList entries = {"A: f", "A: g", "B: h"};
    HTREEITEM parent = InsertItem(tree, TVI_ROOT, "P");
    EXPECT_EQ(PopulateTree(tree, parent, entries, 3, "", EntrySeparator, 0), 0);
    EXPECT_EQ(PopulateTree(tree, parent, entries, 7, "", EntrySeparator, 0), 0);
    EXPECT_EQ(Picture(tree), "P");
    // Level 1 of group A: takes f and g, stops at B.
    EXPECT_EQ(PopulateTree(tree, parent, entries, 0, "A", EntrySeparator, 1), 2);
    EXPECT_EQ(Picture(tree), "P(f g)");
    EXPECT_EQ(PopulateTree(tree, parent, entries, 1, "B", EntrySeparator, 1), 0);
    // Entries without a piece at the level stop it.
    EXPECT_EQ(PopulateTree(tree, parent, {"A"}, 0, "A", EntrySeparator, 1), 0);
}

TEST_F(Tree, DeeplyNestedEntriesBuildEveryLevel) {
    std::string entry = "0";
    const int separators = 2000;
    for (int level = 1; level <= separators; ++level) entry += ": " + std::to_string(level);
    HTREEITEM parent = InsertItem(tree, TVI_ROOT, "P");
    EXPECT_EQ(PopulateTree(tree, parent, {entry, entry}, 0, "", EntrySeparator, 0), 2);
    int depth = 0;
    for (HTREEITEM item = FirstChildItem(tree, parent); item != nullptr;
         item = FirstChildItem(tree, item)) {
        ASSERT_EQ(Label(tree, item), std::to_string(depth));
        EXPECT_EQ(NextSiblingItem(tree, item), nullptr);
        ++depth;
    }
    EXPECT_EQ(depth, separators + 1);
    std::string expected = "P\r\n";
    for (int level = 0; level <= separators; ++level)
        expected += std::string(level + 1, '\t') + std::to_string(level) + "\r\n";
    std::string text;
    EXPECT_EQ(TreeToText(tree, text, FirstRootItem(tree), 0), separators + 2);
    EXPECT_TRUE(text == expected);
}

TEST_F(Tree, TextOfTheExample) {
    BuildExample(tree);
    int lines = 0;
    std::string text = Text(&lines);
    EXPECT_EQ(lines, 8);
    EXPECT_EQ(text.size(), 120u);
    EXPECT_EQ(text, ExampleText);

    // The walk appends, and a run below depth 0 has no empty lines.
    std::string appended = "head";
    EXPECT_EQ(TreeToText(tree, appended, FirstRootItem(tree), 1), 7);
    EXPECT_EQ(appended,
              "head\tC:\\work\\demo.exe\r\n\t\tKERNEL32.dll\r\n\t\t\tExitProcess\r\n"
              "\t\t\tGetLastError\r\n\t\tWS2_32.dll\r\n\t\t\t#23\r\n"
              "\tCould not read C:\\work\\notes.txt\r\n");
}

TEST_F(Tree, TextShapes) {
    struct Row {
        const char* name;
        std::vector<std::pair<int, std::string>> items;  // depth below the previous root, label
        std::string text;
        int lines;
    };
    const std::string longLabel = "Could not read " + std::string(5000, 'p');
    const std::vector<Row> rows = {
        {"empty tree", {}, "", 0},
        {"one root", {{0, "r"}}, "r\r\n", 1},
        {"two roots", {{0, "r"}, {0, "s"}}, "r\r\n\r\ns\r\n", 3},
        {"three roots", {{0, "r"}, {0, "s"}, {0, "t"}}, "r\r\n\r\ns\r\n\r\nt\r\n", 5},
        {"empty labels keep their tabs", {{0, "r"}, {1, ""}, {2, ""}}, "r\r\n\t\r\n\t\t\r\n", 3},
        {"a long label is written whole", {{0, longLabel}, {1, "d"}},
         longLabel + "\r\n\td\r\n", 2},
        {"no empty lines below the roots", {{0, "r"}, {1, "a"}, {1, "b"}, {2, "f"}, {1, "c"}},
         "r\r\n\ta\r\n\tb\r\n\t\tf\r\n\tc\r\n", 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteAllItems(tree);
        std::vector<HTREEITEM> path;
        for (const auto& item : row.items) {
            path.resize(item.first);
            path.push_back(InsertItem(tree, item.first == 0 ? TVI_ROOT : path.back(), item.second));
        }
        int lines = -1;
        std::string text = Text(&lines);
        EXPECT_EQ(lines, row.lines);
        EXPECT_TRUE(text == row.text) << text.size();
    }
}

class Rebuild : public Tree {
protected:
    std::string image = WriteTestFile(
        "demo.exe", BuildImage({{"KERNEL32.dll", {"ExitProcess", "GetLastError"}},
                                {"WS2_32.dll", {"#23"}}}).bytes);
    std::string other = WriteTestFile("other.dll", BuildImage({{"USER32.dll", {"MessageBoxA"}}}).bytes);
    std::string bare = WriteTestFile("bare.dll", BuildImage({}).bytes);
    std::string notes = WriteTestFile("notes.txt", std::string("just text"));
};

TEST_F(Rebuild, OneRootPerDroppedPathInOrder) {
    const std::string demoTree = image + "(KERNEL32.dll(ExitProcess GetLastError) WS2_32.dll(#23))";
    const std::string otherTree = other + "(USER32.dll(MessageBoxA))";
    struct Row {
        const char* name;
        std::vector<std::string> dropped;
        std::string picture;
        int unread;
    };
    const std::vector<Row> rows = {
        {"a file that is not an image, between two images", {image, notes, other},
         demoTree + " Could not read " + notes + " " + otherTree, 1},
        {"the same file twice", {image, image}, demoTree + " " + demoTree, 0},
        {"an image without descriptors", {bare}, bare, 0},
        {"two images, each with its own imports", {other, image}, otherTree + " " + demoTree, 0},
        {"a missing file and a folder",
         {TestFolder() + "/missing.exe", TestFolder()},
         "Could not read " + TestFolder() + "/missing.exe Could not read " + TestFolder(), 2},
        {"nothing dropped", {}, "", 0},
    };
    InsertItem(tree, TVI_ROOT, "left from before");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DroppedFiles = row.dropped;
        EXPECT_EQ(RebuildTree(tree), row.unread);
        EXPECT_EQ(Picture(tree), row.picture);
    }
}

}  // namespace
