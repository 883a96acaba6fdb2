// The program's window: the copy key, drops, the clipboard copy and the whole
// program run from its entry point, against the platform's own services.
#include <gtest/gtest.h>

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

// Records the messages that get past MainWindowProc to the control.
std::vector<UINT> passedOn;
WNDPROC controlProcedure = NULL;
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    passedOn.push_back(message);
    return CallWindowProcA(controlProcedure, window, message, wParam, lParam);
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

TEST_F(MainWindow, CopiesTheExampleAsText) {
    BuildExample(window);
    SetClipboardText("marker");
    CopyTreeToClipboard(window);
    std::size_t size = 0;
    EXPECT_EQ(ClipboardText(&size), ExampleText);
    EXPECT_GE(size, 121u);
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
    EXPECT_EQ(std::count(passedOn.begin(), passedOn.end(), UINT(WM_CHAR)), 0)
        << "no character reaches the control";
}

TEST_F(MainWindow, CloseOnlyAsksTheLoopToEnd) {
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(std::count(passedOn.begin(), passedOn.end(), UINT(WM_CLOSE)), 0);
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
