// The read-only view of a whole file, against the platform's file services.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "TestFiles.h"
#include "import/MappedFile.h"

namespace {

HANDLE OpenExclusive(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
}

TEST(MappedFile, PathsThatCannotBeMappedGiveFalse) {
    const std::string missing = TestFolder() + "/missing.exe";
    const std::string folder = TestFolder() + "/folder.exe";
    std::filesystem::create_directories(folder);
    const std::string empty = WriteTestFile("empty.exe", std::string());
    for (const std::string& path : {missing, folder, empty}) {
        SCOPED_TRACE(path);
        MappedFile file;
        EXPECT_FALSE(OpenMappedFile(path.c_str(), file));
    }
    EXPECT_FALSE(std::filesystem::exists(missing)) << "opening must never create a file";
    // Nothing was left open: the empty file can be held exclusively again.
    HANDLE again = OpenExclusive(empty);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST(MappedFile, ViewIsTheWholeFile) {
    std::string bytes(70000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    const std::string path = WriteTestFile("whole.bin", bytes);
    MappedFile file;
    ASSERT_TRUE(OpenMappedFile(path.c_str(), file));
    EXPECT_EQ(file.fileSize, bytes.size());
    EXPECT_EQ(std::memcmp(file.viewBase, bytes.data(), bytes.size()), 0);
    CloseMappedFile(file);
}

TEST(MappedFile, HoldsTheFileWithoutSharingUntilClosed) {
    const std::string path = WriteTestFile("held.bin", std::string("MZ"));
    MappedFile file;
    ASSERT_TRUE(OpenMappedFile(path.c_str(), file));
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                0, NULL);
    EXPECT_EQ(reader, INVALID_HANDLE_VALUE) << "a second open must fail while the view is open";
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    CloseMappedFile(file);

    HANDLE after = OpenExclusive(path);
    EXPECT_NE(after, INVALID_HANDLE_VALUE) << "anybody can open the file after the close";
    CloseHandle(after);
}

TEST(MappedFile, FileHeldByAnotherOpenGivesFalse) {
    const std::string path = WriteTestFile("busy.bin", std::string("MZ"));
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ)}) {
        SCOPED_TRACE(share);
        HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        MappedFile file;
        EXPECT_FALSE(OpenMappedFile(path.c_str(), file));
        CloseHandle(holder);
        ASSERT_TRUE(OpenMappedFile(path.c_str(), file)) << "free again once the holder closed it";
        CloseMappedFile(file);
    }
}

}  // namespace
