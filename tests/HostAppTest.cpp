// What only the host layer can show of the program's window: each failing
// clipboard step, the calls made and their order, and the drop's release.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "Drops.h"
#include "HostTesting.h"
#include "ImageBuilder.h"
#include "TestFiles.h"
#include "TreeWindow.h"
#include "app/CopyTreeToClipboard.h"
#include "app/MainWindow.h"
#include "tree/RebuildTree.h"
#include "tree/TreeControl.h"

namespace {

class HostApp : public ::testing::Test {
protected:
    void SetUp() override {
        HostResetShell();
        window = CreateTreeWindow();
        PreviousWindowProc = reinterpret_cast<WNDPROC>(
            SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG>(MainWindowProc)));
        HostClearCalls();
    }
    void TearDown() override {
        DestroyWindow(window);
        HostResetShell();
        HostClearCalls();
    }

    // Puts text on the clipboard without logging it as the program's calls.
    void PutOnClipboard(const std::string& text) {
        OpenClipboard(NULL);
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<char*>(GlobalLock(block)));
        GlobalUnlock(block);
        SetClipboardData(CF_TEXT, block);
        CloseClipboard();
        HostClearCalls();
    }

    std::vector<std::string> CallsAfter(const std::string& name) {
        const std::vector<std::string>& calls = HostCalls();
        auto found = std::find(calls.begin(), calls.end(), name);
        return found == calls.end() ? std::vector<std::string>() : std::vector<std::string>(found + 1, calls.end());
    }

    HWND window = NULL;
};

TEST_F(HostApp, SuccessfulCopyMakesTheStepsInOrder) {
    BuildExample(window);
    CopyTreeToClipboard(window);
    EXPECT_EQ(HostCalls(), std::vector<std::string>({"LoadCursorA", "SetCursor", "OpenClipboard",
                                                     "EmptyClipboard", "GlobalAlloc", "GlobalLock",
                                                     "GlobalUnlock", "SetClipboardData",
                                                     "CloseClipboard", "SetCursor"}));
    EXPECT_EQ(HostClipboardText(), ExampleText);
    EXPECT_TRUE(HostMessageBoxes().empty());
    EXPECT_FALSE(HostClipboardIsOpen());
    OpenClipboard(NULL);
    EXPECT_EQ(GlobalSize(GetClipboardData(CF_TEXT)), 121u) << "the 120 bytes and a NUL";
    CloseClipboard();
}

TEST_F(HostApp, EmptyTreeMakesNoClipboardOrMemoryCall) {
    PutOnClipboard("marker");
    CopyTreeToClipboard(window);
    EXPECT_EQ(HostCalls(), std::vector<std::string>({"LoadCursorA", "SetCursor", "SetCursor"}))
        << "only the wait cursor, shown and taken back";
    EXPECT_TRUE(HostMessageBoxes().empty());
    EXPECT_EQ(HostClipboardText(), "marker");
}

TEST_F(HostApp, EachFailingStepIsReportedThenReleased) {
    struct Row {
        const char* failing;
        DWORD code;
        std::vector<std::string> released;  // after the message box, in order
        std::optional<std::string> clipboard;
    };
    const std::string text = "R\r\n";
    const std::vector<Row> rows = {
        {"OpenClipboard", 5, {}, "marker"},
        {"EmptyClipboard", 1418, {"CloseClipboard"}, "marker"},
        {"GlobalAlloc", 8, {"CloseClipboard"}, std::nullopt},
        {"GlobalLock", 2147483648u, {"GlobalFree", "CloseClipboard"}, std::nullopt},
        {"GlobalUnlock", 0, {"GlobalUnlock", "GlobalFree", "CloseClipboard"}, std::nullopt},
        {"SetClipboardData", 4294967295u, {"GlobalFree", "CloseClipboard"}, std::nullopt},
        {"CloseClipboard", 1418, {"CloseClipboard"}, text},
    };
    InsertItem(window, TVI_ROOT, "R");
    HCURSOR cross = LoadCursorA(NULL, IDC_CROSS);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failing);
        SetCursor(cross);
        PutOnClipboard("marker");
        HostClearMessageBoxes();
        if (std::string(row.failing) == "GlobalUnlock")
            HostKeepLockedAtNextUnlock(row.code);
        else
            HostFailNextCall(row.failing, row.code);
        CopyTreeToClipboard(window);

        ASSERT_EQ(HostMessageBoxes().size(), 1u);
        const HostMessageBox& box = HostMessageBoxes()[0];
        EXPECT_EQ(box.text, "Caught exception with error code " + std::to_string(row.code));
        EXPECT_EQ(box.caption, "Quernwick");
        EXPECT_EQ(box.type, UINT(MB_ICONERROR));
        EXPECT_EQ(box.owner, window);
        EXPECT_EQ(CallsAfter("MessageBoxA"), row.released);
        const std::vector<std::string>& calls = HostCalls();
        auto shown = std::find(calls.begin(), calls.end(), "MessageBoxA");
        ASSERT_NE(shown, calls.begin());
        EXPECT_EQ(*(shown - 1), "SetCursor") << "the box comes with the cursor from before";
        EXPECT_EQ(GetCursor(), cross);
        EXPECT_EQ(HostClipboardText(), row.clipboard);
        EXPECT_FALSE(HostClipboardIsOpen());
        EXPECT_EQ(HostGlobalBlockCount(), row.clipboard ? 1u : 0u)
            << "no block is left behind";
    }
}

TEST_F(HostApp, KeyStateIsAskedOnlyForTheCopyKey) {
    SendMessageA(window, WM_CHAR, 'x', 0x002D0001);
    EXPECT_TRUE(HostCalls().empty());
    SendMessageA(window, WM_CHAR, 'c', 0x002E0001);
    EXPECT_EQ(HostCalls(), std::vector<std::string>({"GetKeyState"}));
}

TEST_F(HostApp, DropIsReadWholeThenReleased) {
    const std::string longPath = "/nowhere/" + std::string(400, 'n');
    HDROP drop = MakeDrop({"/nowhere/a", longPath});
    HostClearCalls();
    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    const std::vector<std::string>& calls = HostCalls();
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 8),
              std::vector<std::string>({"LoadCursorA", "SetCursor", "DragQueryFileA",
                                        "DragQueryFileA", "DragQueryFileA", "DragQueryFileA",
                                        "DragQueryFileA", "DragFinish"}));
    EXPECT_FALSE(HostGlobalAllocated(drop));
    EXPECT_EQ(Picture(window), "Could not read /nowhere/a Could not read " + longPath);
}

// Shown with redraw on, the control lays out and repaints itself after every
// item, as the real one does; a drop spares it that.
TEST_F(HostApp, DropSparesTheShownControlAnyWorkPerItem) {
    std::vector<ImportSpec> imports;
    for (int dll = 0; dll < 20; ++dll) imports.push_back({"D" + std::to_string(dll) + ".dll", {"f", "g"}});
    const std::string image = WriteTestFile("many-items.dll", BuildImage(imports).bytes);
    HWND shown = CreateMainWindow(GetModuleHandleA(NULL));
    SetWindowLongA(shown, GWL_WNDPROC, reinterpret_cast<LONG>(MainWindowProc));
    InsertItem(shown, TVI_ROOT, "an earlier listing");
    EXPECT_EQ(HostTreeLayouts(shown), 1u) << "the control does work per item while shown";

    SendMessageA(shown, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({image, image})), 0);
    EXPECT_EQ(SendMessageA(shown, TVM_GETCOUNT, 0, 0), 2 * (1 + 20 * 3));
    EXPECT_EQ(HostTreeLayouts(shown), 1u) << "none for the drop's 123 items";
    MSG message;
    ASSERT_TRUE(GetMessageA(&message, NULL, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_PAINT));
    DestroyWindow(shown);
}

// Wine's DragQueryFileA miscounts a drop without paths, which no shell makes;
// the layer shows what the program does with one.
TEST_F(HostApp, DropWithoutPathsEmptiesTheTree) {
    InsertItem(window, TVI_ROOT, "earlier");
    DroppedFiles = {"earlier"};
    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({})), 0);
    EXPECT_TRUE(DroppedFiles.empty());
    EXPECT_EQ(Picture(window), "");
}

// WinMain, its window and its loop, inspected from a timer once the loop runs.
HostWindowCreation created;
WNDPROC procedureInLoop = NULL;
void CALLBACK Inspect(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(NULL, id);
    HWND window = FindWindowA("SysTreeView32", "Quernwick");
    ASSERT_TRUE(HostWindowCreated(window, created));
    procedureInLoop = reinterpret_cast<WNDPROC>(SetWindowLongA(window, GWL_WNDPROC, 0));
    SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG>(procedureInLoop));
    PostQuitMessage(7);  // a quit from elsewhere ends the program with its code
}

TEST(HostProgram, WinMainCreatesTheWindowThenRunsTheLoop) {
    HostClearCalls();
    SetTimer(NULL, 0, 1, Inspect);
    HINSTANCE instance = GetModuleHandleA(NULL);
    EXPECT_EQ(WinMain(instance, NULL, const_cast<LPSTR>("ignored"), 0), 7);
    EXPECT_EQ(created.className, "SysTreeView32");
    EXPECT_EQ(created.title, "Quernwick");
    EXPECT_EQ(created.exStyle, 0x10u);
    EXPECT_EQ(created.style, 0x10CF0027u);
    EXPECT_EQ(created.x, CW_USEDEFAULT);
    EXPECT_EQ(created.y, CW_USEDEFAULT);
    EXPECT_EQ(created.width, 640);
    EXPECT_EQ(created.height, 480);
    EXPECT_EQ(created.parent, GetDesktopWindow());
    EXPECT_EQ(created.menu, nullptr);
    EXPECT_EQ(created.instance, instance);
    EXPECT_EQ(created.parameter, nullptr);
    EXPECT_EQ(procedureInLoop, MainWindowProc);
    EXPECT_NE(PreviousWindowProc, nullptr);
    EXPECT_NE(PreviousWindowProc, MainWindowProc);

    const std::vector<std::string>& calls = HostCalls();
    const std::vector<std::string> startUp = {"InitCommonControls", "GetDesktopWindow", "CreateWindowExA",
                                              "SetWindowLongA", "GetMessageA"};
    ASSERT_GE(calls.size(), startUp.size() + 2);
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 2, calls.begin() + 2 + startUp.size()), startUp)
        << "after the test's SetTimer and GetModuleHandleA, in this order";
    DestroyWindow(FindWindowA("SysTreeView32", "Quernwick"));
}

}  // namespace
