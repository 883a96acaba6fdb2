// The program's window: the copy key, drops, the clipboard copy and the whole
// program run from its entry point, against the platform's own services.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Drops.h"
#include "ImageBuilder.h"
#include "TestFiles.h"
#include "TreeWindow.h"
#include "app/CopyTreeToClipboard.h"
#include "app/MainWindow.h"
#include "tree/RebuildTree.h"
#include "tree/TreeControl.h"

namespace {

void SetClipboardText(const std::string& text) {
    ASSERT_TRUE(OpenClipboard(NULL));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}

// The CF_TEXT bytes up to the NUL, and the block's size.
std::string ClipboardText(std::size_t* blockSize = nullptr) {
    std::string text = "(no text)";
    if (!OpenClipboard(NULL)) return "(clipboard busy)";
    HANDLE block = GetClipboardData(CF_TEXT);
    if (block != NULL) {
        text = static_cast<const char*>(GlobalLock(block));
        if (blockSize) *blockSize = GlobalSize(block);
        GlobalUnlock(block);
    }
    CloseClipboard();
    return text;
}

void SetControlKeys(bool left, bool right) {
    BYTE keys[256] = {};
    keys[VK_LCONTROL] = left ? 0x80 : 0;
    keys[VK_RCONTROL] = right ? 0x80 : 0;
    keys[VK_CONTROL] = (left || right) ? 0x80 : 0;
    SetKeyboardState(keys);
}

// Records the messages that get past MainWindowProc to the control, with the
// cursor shown when each arrived.
struct Passed {
    UINT message;
    WPARAM wParam;
    HCURSOR cursor;
};
std::vector<Passed> passedOn;
WNDPROC controlProcedure = NULL;
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    passedOn.push_back(Passed{message, wParam, GetCursor()});
    return CallWindowProcA(controlProcedure, window, message, wParam, lParam);
}

long Count(UINT message) {
    return std::count_if(passedOn.begin(), passedOn.end(),
                         [message](const Passed& passed) { return passed.message == message; });
}

// The redraw switches, the tree's item messages and the paints that reached
// the control, in order: "redraw 0", "delete", "insert", "read", "paint"...
std::vector<std::string> ControlWork() {
    std::vector<std::string> work;
    for (const Passed& passed : passedOn) {
        switch (passed.message) {
            case WM_SETREDRAW: work.push_back("redraw " + std::to_string(passed.wParam)); break;
            case TVM_DELETEITEM: work.push_back("delete"); break;
            case TVM_INSERTITEMA: work.push_back("insert"); break;
            case TVM_GETITEMA: work.push_back("read"); break;
            case WM_PAINT: work.push_back("paint"); break;
        }
    }
    return work;
}

// Whether every item message came while the wait cursor showed.
bool ItemWorkUnderWaitCursor() {
    HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);
    for (const Passed& passed : passedOn)
        if ((passed.message == TVM_INSERTITEMA || passed.message == TVM_DELETEITEM ||
             passed.message == TVM_GETITEMA) && passed.cursor != wait)
            return false;
    return true;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateTreeWindow();
        ASSERT_NE(window, nullptr);
        controlProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG>(MainWindowProc)));
        PreviousWindowProc = RecordingProc;
        passedOn.clear();
    }
    void TearDown() override {
        SetControlKeys(false, false);
        DestroyWindow(window);
    }
    HWND window = NULL;
};

TEST_F(MainWindow, CopiesTheExampleAsTextUnderTheWaitCursor) {
    BuildExample(window);
    SetClipboardText("marker");
    HCURSOR cross = LoadCursorA(NULL, IDC_CROSS);
    SetCursor(cross);
    passedOn.clear();
    CopyTreeToClipboard(window);
    std::size_t size = 0;
    EXPECT_EQ(ClipboardText(&size), ExampleText);
    EXPECT_GE(size, 121u);
    EXPECT_GE(Count(TVM_GETITEMA), 7);
    EXPECT_TRUE(ItemWorkUnderWaitCursor());
    EXPECT_EQ(GetCursor(), cross) << "the cursor from before comes back";
}

TEST_F(MainWindow, EmptyTreeLeavesTheClipboardAlone) {
    SetClipboardText("marker");
    CopyTreeToClipboard(window);
    EXPECT_EQ(ClipboardText(), "marker");
}

TEST_F(MainWindow, LeftControlWithTheKeyOfScanCode2ECopies) {
    InsertItem(window, TVI_ROOT, "R");
    struct Row {
        const char* name;
        WPARAM character;
        LPARAM lParam;
        bool left, right, copies;
    };
    const std::vector<Row> rows = {
        {"left Ctrl + C", 0x03, 0x002E0001, true, false, true},
        {"auto-repeat and other flag bits do not matter", 0x03, 0x402E0005, true, false, true},
        {"another letter on that key", 'v', 0x002E0001, true, false, true},
        {"right Ctrl + C", 0x03, 0x002E0001, false, true, false},
        {"C alone", 'c', 0x002E0001, false, false, false},
        {"left Ctrl + another key bearing c", 0x03, 0x002F0001, true, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetClipboardText("marker");
        SetControlKeys(row.left, row.right);
        EXPECT_EQ(SendMessageA(window, WM_CHAR, row.character, row.lParam), 0);
        EXPECT_EQ(ClipboardText(), row.copies ? "R\r\n" : "marker");
    }
    EXPECT_EQ(Count(WM_CHAR), 0) << "no character reaches the control";
}

TEST_F(MainWindow, CloseOnlyAsksTheLoopToEnd) {
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(Count(WM_CLOSE), 0);
    MSG message;
    ASSERT_EQ(GetMessageA(&message, NULL, 0, 0), FALSE);
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_NE(FindWindowA("SysTreeView32", "tests"), nullptr) << "the window stays";
}

class Drops : public MainWindow {
protected:
    std::string demo = WriteTestFile("drop-demo.exe", BuildImage({{"K.dll", {"f", "#2"}}}).bytes);
    std::string notes = WriteTestFile("drop-notes.txt", std::string("text"));
};

TEST_F(Drops, EachDropReplacesTheList) {
    const std::string demoTree = demo + "(K.dll(f #2))";
    const std::string longPath = TestFolder() + "/" + std::string(300, 'p') + ".exe";
    struct Row {
        const char* name;
        std::vector<std::string> paths;
        std::string picture;
    };
    const std::vector<Row> rows = {
        {"several files in the drop's order", {notes, demo},
         "Could not read " + notes + " " + demoTree},
        {"the same path twice", {demo, demo}, demoTree + " " + demoTree},
        {"a folder", {TestFolder()}, "Could not read " + TestFolder()},
        {"a second drop replaces the first", {demo}, demoTree},
        {"a path longer than 259 characters, whole", {longPath}, "Could not read " + longPath},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HDROP drop = MakeDrop(row.paths);
        EXPECT_EQ(SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0), 0);
        EXPECT_EQ(DroppedFiles, row.paths);
        EXPECT_EQ(Picture(window), row.picture);
    }
}

TEST_F(Drops, ShownWindowIsRebuiltUnseenUnderTheWaitCursorThenPaintedOnce) {
    HWND shown = CreateMainWindow(GetModuleHandleA(NULL));
    ASSERT_NE(shown, nullptr);
    SetWindowLongA(shown, GWL_WNDPROC, reinterpret_cast<LONG>(MainWindowProc));
    InsertItem(shown, TVI_ROOT, "an earlier listing");
    UpdateWindow(shown);
    ValidateRect(shown, NULL);
    HCURSOR cross = LoadCursorA(NULL, IDC_CROSS);
    SetCursor(cross);
    passedOn.clear();

    SendMessageA(shown, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({demo, notes})), 0);
    const std::vector<std::string> rebuilt = {"redraw 0", "delete", "insert", "insert", "insert",
                                              "insert", "insert", "redraw 1"};
    EXPECT_EQ(ControlWork(), rebuilt);
    EXPECT_TRUE(ItemWorkUnderWaitCursor());
    EXPECT_EQ(GetCursor(), cross) << "the cursor from before comes back";
    EXPECT_NE(GetUpdateRect(shown, NULL, FALSE), FALSE) << "a repaint waits";

    UpdateWindow(shown);
    std::vector<std::string> painted = rebuilt;
    painted.push_back("paint");
    EXPECT_EQ(ControlWork(), painted) << "painted once, when complete";
    EXPECT_EQ(Picture(shown), demo + "(K.dll(f #2)) Could not read " + notes);
    DestroyWindow(shown);
}

// The whole program from its entry point. The input is queued by a timer
// once the loop runs, when the window exists: a drop, left Ctrl + C as a key
// press that the loop translates, and the close.
std::vector<std::string> programDrop;
void CALLBACK QueueInput(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(NULL, id);
    HWND window = FindWindowA("SysTreeView32", "Quernwick");
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(programDrop)), 0);
    PostMessageA(window, WM_KEYDOWN, 'C', 0x002E0001);
    PostMessageA(window, WM_CLOSE, 0, 0);
}

TEST(Program, DropCopyAndCloseFromTheEntryPoint) {
    const std::string demo = WriteTestFile("program-demo.exe", BuildImage({{"K.dll", {"f", "#2"}}}).bytes);
    const std::string notes = WriteTestFile("program-notes.txt", std::string("text"));
    programDrop = {demo, notes};
    SetClipboardText("marker");
    SetControlKeys(true, false);
    ASSERT_NE(SetTimer(NULL, 0, 1, QueueInput), 0u);
    EXPECT_EQ(WinMain(GetModuleHandleA(NULL), NULL, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
    SetControlKeys(false, false);
    EXPECT_EQ(ClipboardText(), demo + "\r\n\tK.dll\r\n\t\tf\r\n\t\t#2\r\n\r\nCould not read " + notes + "\r\n");
    HWND window = FindWindowA("SysTreeView32", "Quernwick");
    EXPECT_NE(window, nullptr) << "nothing destroys the window";
    DestroyWindow(window);
}

}  // namespace
