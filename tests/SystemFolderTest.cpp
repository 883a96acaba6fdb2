// Windows only: a file dropped from the system folder is read as it is, not
// as the 32-bit copy that 64-bit Windows gives 32-bit programs in its place.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "import/ImportReader.h"
#include "import/MappedFile.h"

namespace {

const unsigned Amd64Machine = 0x8664;

unsigned MachineOf(const unsigned char* view) {
    unsigned ntHeaders = view[0x3C] | view[0x3D] << 8 | view[0x3E] << 16 | unsigned(view[0x3F]) << 24;
    return view[ntHeaders + 4] | view[ntHeaders + 5] << 8;
}

TEST(SystemFolder, KernelOfTheSystemFolderIsTheNativeFile) {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (!wow64) GTEST_SKIP() << "32-bit Windows has no redirected system folder";

    char folder[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(folder, sizeof folder), 0u);
    const std::string kernel = std::string(folder) + "\\kernel32.dll";

    MappedFile file;
    ASSERT_TRUE(OpenMappedFile(kernel.c_str(), file));
    EXPECT_EQ(MachineOf(file.viewBase), Amd64Machine);
    std::vector<unsigned char> bytes(file.viewBase, file.viewBase + file.fileSize);
    CloseMappedFile(file);

    // The listing is the native file's: the same as for a copy of its bytes.
    EntryList listed, copied;
    ASSERT_TRUE(ReadImports(kernel, listed, DllFunctions));
    ASSERT_TRUE(ReadImports(WriteTestFile("kernel32-copy.dll", bytes), copied, DllFunctions));
    EXPECT_FALSE(listed.empty());
    EXPECT_TRUE(listed == copied);

    // And not the 32-bit copy's, which a redirected open would have read.
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    EntryList redirected;
    ASSERT_TRUE(ReadImports(std::string(windows) + "\\SysWOW64\\kernel32.dll", redirected, DllFunctions));
    EXPECT_FALSE(listed == redirected);
}

}  // namespace
