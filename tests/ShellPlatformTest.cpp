// Keyboard state, global memory, dropped files and the clipboard as both
// platforms have them: the same tests run over the host layer and over
// Windows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Drops.h"
#include "platform/Platform.h"

namespace {

const UINT dropCount = 0xFFFFFFFFu;

std::vector<BYTE> KeyboardState() {
    std::vector<BYTE> keys(256, 0);
    EXPECT_TRUE(GetKeyboardState(keys.data()));
    return keys;
}

TEST(ShellKeyboard, KeyStateFollowsTheStateSet) {
    struct Key {
        int key;
        BYTE state;
    };
    struct Row {
        const char* name;
        std::vector<Key> set;
        // Down and toggled, for VK_LCONTROL, VK_RCONTROL and VK_CONTROL.
        bool down[3];
        bool toggled[3];
    };
    const std::vector<Row> rows = {
        {"all up", {}, {false, false, false}, {false, false, false}},
        {"left down", {{VK_LCONTROL, 0x80}}, {true, false, false}, {false, false, false}},
        {"right down", {{VK_RCONTROL, 0x80}}, {false, true, false}, {false, false, false}},
        {"control down", {{VK_CONTROL, 0x80}}, {false, false, true}, {false, false, false}},
        {"left toggled", {{VK_LCONTROL, 0x01}}, {false, false, false}, {true, false, false}},
        {"left down and toggled, right down",
         {{VK_LCONTROL, 0x81}, {VK_RCONTROL, 0x80}},
         {true, true, false},
         {true, false, false}},
    };
    const int keys[3] = {VK_LCONTROL, VK_RCONTROL, VK_CONTROL};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<BYTE> state(256, 0);
        for (const Key& key : row.set) state[key.key] = key.state;
        ASSERT_TRUE(SetKeyboardState(state.data()));
        for (int at = 0; at < 3; ++at) {
            SCOPED_TRACE(keys[at]);
            EXPECT_EQ(GetKeyState(keys[at]) < 0, row.down[at]);
            EXPECT_EQ((GetKeyState(keys[at]) & 1) != 0, row.toggled[at]);
        }
        std::vector<BYTE> read = KeyboardState();
        for (int key = 0; key < 256; ++key) ASSERT_EQ(read[key] & 0x81, state[key]) << key;
    }
    std::vector<BYTE> up(256, 0);
    EXPECT_TRUE(SetKeyboardState(up.data()));
}

TEST(ShellGlobalMemory, MoveableBlockCountsItsLocks) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 16u);
    unsigned char* first = static_cast<unsigned char*>(GlobalLock(block));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(first, first + 16), std::vector<unsigned char>(16, 0));
    EXPECT_EQ(GlobalLock(block), first);
    EXPECT_NE(GlobalUnlock(block), 0);  // still locked once
    EXPECT_EQ(GlobalUnlock(block), 0);  // unlocked
    EXPECT_EQ(GlobalUnlock(block), 0);  // was not locked
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalLock(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block);
}

TEST(ShellGlobalMemory, LockCountStopsAt255) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(block, nullptr);
    for (int lock = 0; lock < 300; ++lock) ASSERT_NE(GlobalLock(block), nullptr);
    int stillLocked = 0;
    while (GlobalUnlock(block) && stillLocked < 300) ++stillLocked;
    EXPECT_EQ(stillLocked, 254);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(ShellGlobalMemory, FixedAndEmptyBlocks) {
    // A fixed block's handle is its address, and it has no lock count.
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 10);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    EXPECT_NE(GlobalUnlock(fixed), 0);
    EXPECT_NE(GlobalUnlock(fixed), 0);
    EXPECT_EQ(GlobalFree(fixed), nullptr);
    // A moveable block of no bytes is allocated but cannot be locked.
    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalSize(empty), 0u);
    EXPECT_EQ(GlobalLock(empty), nullptr);
    EXPECT_EQ(GlobalFree(empty), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(ShellDrops, CountAndLengths) {
    HDROP drop = MakeDrop({"C:\\a\\one.dll", "C:\\two.exe"});
    ASSERT_NE(drop, nullptr);
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(DragQueryFileA(drop, dropCount, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileA(drop, dropCount, buffer, sizeof buffer), 2u);
    EXPECT_EQ(DragQueryFileA(drop, 0, nullptr, 0), 12u);
    EXPECT_EQ(DragQueryFileA(drop, 1, nullptr, 0), 10u);
    // A buffer of size 0 is not written: the length comes back.
    EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 0), 12u);
    // No path at an index past the last.
    EXPECT_EQ(DragQueryFileA(drop, 2, nullptr, 0), 0u);
    EXPECT_EQ(DragQueryFileA(drop, 2, buffer, sizeof buffer), 0u);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(8, 'x'));
    DragFinish(drop);
}

TEST(ShellDrops, CopiesThePathCutToTheBuffer) {
    const std::string path = "C:\\a\\one.dll";
    HDROP drop = MakeDrop({"C:\\first.exe", path});
    ASSERT_NE(drop, nullptr);
    struct Row {
        UINT size;
        UINT copied;
    };
    const std::vector<Row> rows = {{64, 12}, {13, 12}, {12, 11}, {5, 4}, {2, 1}, {1, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        std::vector<char> buffer(row.size + 1, 'x');
        EXPECT_EQ(DragQueryFileA(drop, 1, buffer.data(), row.size), row.copied);
        EXPECT_EQ(std::string(buffer.data(), row.copied), path.substr(0, row.copied));
        EXPECT_EQ(buffer[row.copied], '\0');
        EXPECT_EQ(buffer[row.size], 'x');  // nothing written past the size given
    }
    DragFinish(drop);
}

TEST(ShellDrops, LongAndWidePaths) {
    std::string longPath = "C:\\";
    while (longPath.size() < 300) longPath += "folder\\";
    longPath += "image.dll";
    HDROP drop = MakeDrop({longPath});
    ASSERT_NE(drop, nullptr);
    const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    ASSERT_EQ(length, longPath.size());
    std::vector<char> whole(length + 1, 'x');
    EXPECT_EQ(DragQueryFileA(drop, 0, whole.data(), length + 1), length);
    EXPECT_EQ(std::string(whole.data()), longPath);
    char shortBuffer[260];
    EXPECT_EQ(DragQueryFileA(drop, 0, shortBuffer, sizeof shortBuffer), 259u);
    EXPECT_EQ(std::string(shortBuffer), longPath.substr(0, 259));
    DragFinish(drop);

    HDROP wide = MakeWideDrop({u"C:\\wide\\x.dll", u"D:\\y.exe"});
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(DragQueryFileA(wide, dropCount, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileA(wide, 1, nullptr, 0), 8u);
    char buffer[32];
    EXPECT_EQ(DragQueryFileA(wide, 0, buffer, sizeof buffer), 13u);
    EXPECT_EQ(std::string(buffer), "C:\\wide\\x.dll");
    EXPECT_EQ(DragQueryFileA(wide, 0, buffer, 5), 4u);
    EXPECT_EQ(std::string(buffer), "C:\\w");
    DragFinish(wide);
}

HGLOBAL TextBlock(const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (block == nullptr) return nullptr;
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    return block;
}

std::string BlockText(HANDLE block) {
    const char* text = static_cast<const char*>(GlobalLock(block));
    if (text == nullptr) return "(not a block)";
    std::string copy(text, strnlen(text, GlobalSize(block)));
    GlobalUnlock(block);
    return copy;
}

// Leaves the clipboard closed whatever a test did.
class ShellClipboard : public testing::Test {
protected:
    void TearDown() override { CloseClipboard(); }
};

TEST_F(ShellClipboard, TextRoundTrip) {
    const std::string text = "KERNEL32.dll\r\n  CreateFileA";
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL block = TextBlock(text);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(SetClipboardData(CF_TEXT, block), block);
    ASSERT_TRUE(CloseClipboard());

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE held = GetClipboardData(CF_TEXT);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(BlockText(held), text);
    ASSERT_TRUE(CloseClipboard());

    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    ASSERT_TRUE(CloseClipboard());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST_F(ShellClipboard, ReplacingAndEmptyingFreeTheDataHeld) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL first = TextBlock("first");
    HGLOBAL second = TextBlock("second");
    ASSERT_EQ(SetClipboardData(CF_TEXT, first), first);
    ASSERT_EQ(SetClipboardData(CF_TEXT, second), second);
    EXPECT_EQ(GlobalLock(first), nullptr);
    EXPECT_EQ(BlockText(GetClipboardData(CF_TEXT)), "second");
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(GlobalLock(second), nullptr);
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(ShellClipboard, CallsNeedItOpen) {
    HGLOBAL block = TextBlock("not set");
    EXPECT_FALSE(CloseClipboard());
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_TEXT, block), nullptr);
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    // Not taken by the clipboard: still the caller's to free.
    EXPECT_EQ(BlockText(block), "not set");
    EXPECT_EQ(GlobalFree(block), nullptr);
}

}  // namespace
