// The shell services of the host layer: injected failures, error codes that
// Windows documents, the clipboard held by another program, the ownership of
// global memory blocks, and the recorded message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "Drops.h"
#include "HostTesting.h"

namespace {

const DWORD chosenError = 1234;

HGLOBAL TextBlock(const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    return block;
}

// Puts text on the clipboard and leaves it closed.
void CopyText(const std::string& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    ASSERT_NE(SetClipboardData(CF_TEXT, TextBlock(text)), nullptr);
    ASSERT_TRUE(CloseClipboard());
}

HWND FakeWindow(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }

class HostShell : public testing::Test {
protected:
    void SetUp() override {
        HostResetShell();
        HostClearCalls();
    }
    void TearDown() override {
        HostResetShell();
        HostClearCalls();
    }
};

TEST_F(HostShell, InjectedFailureReturnsTheFailureValueAndChangesNothing) {
    HGLOBAL block = nullptr;
    HDROP drop = nullptr;
    const std::function<void()> nothing = [] {};
    const std::function<void()> makeBlock = [&] { block = TextBlock("x"); };
    const std::function<void()> makeDrop = [&] { drop = MakeDrop({"a.dll"}); };
    const std::function<void()> copyAndOpen = [] {
        CopyText("kept");
        OpenClipboard(nullptr);
    };
    struct Row {
        const char* name;
        std::function<void()> prepare;
        // Makes the call that is to fail; true when it returned its failure
        // value and left the state as it was.
        std::function<bool()> failsCleanly;
    };
    const std::vector<Row> rows = {
        {"GetKeyState",
         [] {
             BYTE keys[256] = {};
             keys[VK_LCONTROL] = 0x81;
             SetKeyboardState(keys);
         },
         [] { return GetKeyState(VK_LCONTROL) == 0; }},
        {"GetKeyboardState", nothing,
         [] {
             BYTE keys[256];
             std::memset(keys, 0x55, sizeof keys);
             return !GetKeyboardState(keys) && keys[0] == 0x55;
         }},
        {"SetKeyboardState", nothing,
         [] {
             BYTE keys[256] = {};
             keys[VK_LCONTROL] = 0x80;
             bool failed = !SetKeyboardState(keys);
             BYTE read[256];
             GetKeyboardState(read);
             return failed && read[VK_LCONTROL] == 0;
         }},
        {"GlobalAlloc", nothing,
         [] { return GlobalAlloc(GMEM_MOVEABLE, 8) == nullptr && HostGlobalBlockCount() == 0; }},
        {"GlobalLock", makeBlock,
         [&] { return GlobalLock(block) == nullptr && HostGlobalLockCount(block) == 0; }},
        {"GlobalUnlock", [&] { GlobalLock(block = TextBlock("x")); },
         [&] { return !GlobalUnlock(block) && HostGlobalLockCount(block) == 1; }},
        {"GlobalFree", makeBlock,
         [&] { return GlobalFree(block) == block && HostGlobalAllocated(block); }},
        {"GlobalSize", makeBlock, [&] { return GlobalSize(block) == 0; }},
        {"DragQueryFileA", makeDrop,
         [&] {
             char buffer[8] = "kept";
             return DragQueryFileA(drop, 0, buffer, sizeof buffer) == 0 &&
                    std::string(buffer) == "kept";
         }},
        {"DragFinish", makeDrop,
         [&] {
             DragFinish(drop);
             return HostGlobalAllocated(drop);
         }},
        {"OpenClipboard", nothing, [] { return !OpenClipboard(nullptr) && !HostClipboardIsOpen(); }},
        {"EmptyClipboard", copyAndOpen,
         [] { return !EmptyClipboard() && HostClipboardText() == std::string("kept"); }},
        {"SetClipboardData",
         [&] {
             block = TextBlock("x");
             OpenClipboard(nullptr);
         },
         [&] { return SetClipboardData(CF_TEXT, block) == nullptr && !HostClipboardText(); }},
        {"GetClipboardData", copyAndOpen, [] { return GetClipboardData(CF_TEXT) == nullptr; }},
        {"IsClipboardFormatAvailable", [] { CopyText("kept"); },
         [] { return !IsClipboardFormatAvailable(CF_TEXT); }},
        {"CloseClipboard", [] { OpenClipboard(nullptr); },
         [] { return !CloseClipboard() && HostClipboardIsOpen(); }},
        {"MessageBoxA", nothing,
         [] {
             return MessageBoxA(nullptr, "text", "caption", MB_OK) == 0 &&
                    HostMessageBoxes().empty();
         }},
        {"Wow64DisableWow64FsRedirection", nothing,
         [] {
             PVOID old = nullptr;
             return !Wow64DisableWow64FsRedirection(&old);
         }},
        {"Wow64RevertWow64FsRedirection", nothing,
         [] { return !Wow64RevertWow64FsRedirection(nullptr); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HostResetShell();
        row.prepare();
        HostClearCalls();
        SetLastError(0);
        HostFailNextCall(row.name, chosenError);
        EXPECT_TRUE(row.failsCleanly());
        EXPECT_EQ(GetLastError(), chosenError);
        const std::vector<std::string>& calls = HostCalls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), row.name), 1);
    }
}

TEST_F(HostShell, GlobalMemoryErrorCodes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_NE(block, nullptr);
    ASSERT_NE(GlobalLock(block), nullptr);
    ASSERT_NE(GlobalLock(block), nullptr);
    EXPECT_EQ(HostGlobalLockCount(block), 2u);
    SetLastError(chosenError);
    EXPECT_TRUE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), chosenError);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), NO_ERROR);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);

    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    EXPECT_EQ(GlobalLock(empty), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_DISCARDED);

    // A freed handle is no block for any call.
    ASSERT_EQ(GlobalFree(block), nullptr);
    EXPECT_FALSE(HostGlobalAllocated(block));
    struct Row {
        const char* name;
        std::function<bool()> fails;
    };
    const std::vector<Row> rows = {
        {"GlobalLock", [&] { return GlobalLock(block) == nullptr; }},
        {"GlobalUnlock", [&] { return !GlobalUnlock(block); }},
        {"GlobalSize", [&] { return GlobalSize(block) == 0; }},
        {"GlobalFree", [&] { return GlobalFree(block) == block; }},
        {"DragQueryFileA",
         [&] { return DragQueryFileA(static_cast<HDROP>(block), 0xFFFFFFFFu, nullptr, 0) == 0; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(0);
        EXPECT_TRUE(row.fails());
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_FALSE(GetKeyboardState(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
}

TEST_F(HostShell, BlocksWithoutZeroInitAreNotZeroed) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
    const unsigned char* bytes = static_cast<const unsigned char*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_NE(std::count(bytes, bytes + 4, 0), 4);
    GlobalUnlock(block);
}

TEST_F(HostShell, ClipboardHeldByAnotherProgram) {
    for (DWORD code : {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}) {
        SCOPED_TRACE(code);
        HostHoldClipboard(code);
        SetLastError(0);
        EXPECT_FALSE(OpenClipboard(nullptr));
        EXPECT_EQ(GetLastError(), code);
        EXPECT_FALSE(OpenClipboard(FakeWindow(0x1000)));
        EXPECT_FALSE(HostClipboardIsOpen());
        EXPECT_FALSE(CloseClipboard());
        HostReleaseClipboard();
        EXPECT_TRUE(OpenClipboard(nullptr));
        EXPECT_TRUE(CloseClipboard());
    }
}

TEST_F(HostShell, ClipboardOpenForOneWindowAtATime) {
    const HWND first = FakeWindow(0x1000), second = FakeWindow(0x2000);
    ASSERT_TRUE(OpenClipboard(first));
    EXPECT_TRUE(OpenClipboard(first));
    for (HWND other : {second, static_cast<HWND>(nullptr)}) {
        SetLastError(0);
        EXPECT_FALSE(OpenClipboard(other));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(HostClipboardIsOpen());
    EXPECT_TRUE(OpenClipboard(second));
    EXPECT_TRUE(CloseClipboard());

    // Closed, every call but opening fails with the same code.
    HGLOBAL block = TextBlock("x");
    const std::vector<std::function<bool()>> calls = {
        [] { return !CloseClipboard(); },
        [] { return !EmptyClipboard(); },
        [&] { return SetClipboardData(CF_TEXT, block) == nullptr; },
        [] { return GetClipboardData(CF_TEXT) == nullptr; },
    };
    for (std::size_t at = 0; at < calls.size(); ++at) {
        SCOPED_TRACE(at);
        SetLastError(0);
        EXPECT_TRUE(calls[at]());
        EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
    }
}

TEST_F(HostShell, ClipboardOwnsTheBlocksSetOnIt) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL first = TextBlock("first");
    ASSERT_EQ(SetClipboardData(CF_TEXT, first), first);
    ASSERT_TRUE(CloseClipboard());
    // Held until emptied: closing and opening again keep it.
    EXPECT_TRUE(HostGlobalAllocated(first));
    EXPECT_EQ(HostClipboardText(), std::string("first"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_TEXT), first);
    EXPECT_TRUE(HostGlobalAllocated(first));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_FALSE(HostGlobalAllocated(first));
    EXPECT_FALSE(HostClipboardText());

    // Only blocks can be set; a failed set takes nothing.
    SetLastError(0);
    EXPECT_EQ(SetClipboardData(CF_TEXT, first), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    HGLOBAL second = TextBlock("second");
    ASSERT_EQ(SetClipboardData(CF_TEXT, second), second);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(HostGlobalBlockCount(), 1u);

    // Resetting frees what the clipboard held.
    HostResetShell();
    EXPECT_FALSE(HostGlobalAllocated(second));
    EXPECT_FALSE(HostClipboardText());
}

TEST_F(HostShell, MessageBoxesAreRecordedNotShown) {
    const HWND owner = FakeWindow(0x1000);
    EXPECT_EQ(MessageBoxA(owner, "Cannot read x.dll", "Quernwick", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
    const std::vector<HostMessageBox>& boxes = HostMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].text, "Cannot read x.dll");
    EXPECT_EQ(boxes[0].caption, "Quernwick");
    EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONERROR);
    EXPECT_EQ(boxes[1].owner, nullptr);
    EXPECT_EQ(boxes[1].text, "");
    EXPECT_EQ(boxes[1].caption, "Error");  // the title Windows gives a box without one
    HostClearMessageBoxes();
    EXPECT_TRUE(HostMessageBoxes().empty());
}

TEST_F(HostShell, DragFinishFreesTheDrop) {
    HDROP drop = MakeDrop({"C:\\a.dll", "C:\\b.dll"});
    ASSERT_TRUE(HostGlobalAllocated(drop));
    EXPECT_EQ(HostGlobalLockCount(drop), 0u);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 2u);
    DragFinish(drop);
    EXPECT_FALSE(HostGlobalAllocated(drop));
    EXPECT_EQ(HostGlobalBlockCount(), 0u);
}

TEST_F(HostShell, DropsReadWithinTheirBlock) {
    // Wide paths come in the layer's ANSI code page, UTF-8; a lone surrogate
    // becomes U+FFFD.
    HDROP wide = MakeWideDrop({u"C:\\caf\u00e9\\\U0001F600.dll", std::u16string(u"a\xD800z")});
    const std::string cafe = "C:\\caf\xC3\xA9\\\xF0\x9F\x98\x80.dll";
    char buffer[64];
    EXPECT_EQ(DragQueryFileA(wide, 0, nullptr, 0), cafe.size());
    EXPECT_EQ(DragQueryFileA(wide, 0, buffer, sizeof buffer), cafe.size());
    EXPECT_EQ(std::string(buffer), cafe);
    EXPECT_EQ(DragQueryFileA(wide, 1, buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer), "a\xEF\xBF\xBDz");
    DragFinish(wide);

    // A list that runs to the block's end ends there; a block too small for
    // the record holds no drop.
    HGLOBAL cut = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + 3);
    unsigned char* bytes = static_cast<unsigned char*>(GlobalLock(cut));
    DROPFILES record = {};
    record.pFiles = sizeof record;
    std::memcpy(bytes, &record, sizeof record);
    std::memcpy(bytes + sizeof record, "abc", 3);
    GlobalUnlock(cut);
    EXPECT_EQ(DragQueryFileA(static_cast<HDROP>(cut), 0xFFFFFFFFu, nullptr, 0), 1u);
    EXPECT_EQ(DragQueryFileA(static_cast<HDROP>(cut), 0, buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer), "abc");
    HGLOBAL small = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) - 1);
    EXPECT_EQ(DragQueryFileA(static_cast<HDROP>(small), 0xFFFFFFFFu, nullptr, 0), 0u);
}

}  // namespace
