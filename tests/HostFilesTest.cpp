// The file view over the host layer: each failing step releases what the
// earlier ones acquired, and share mode 0 holds across processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "HostTesting.h"
#include "ImageBuilder.h"
#include "TestFiles.h"
#include "import/ImportReader.h"
#include "import/MappedFile.h"

namespace {

TEST(HostFiles, FailingStepReleasesEarlierStepsInReverseOrder) {
    const std::string path = WriteTestFile("steps.bin", std::string("MZ"));
    struct Row {
        const char* failing;
        std::vector<std::string> calls;
        bool opens;
    };
    // The open runs with the file system redirection of 32-bit programs off.
    const std::vector<std::string> open = {"Wow64DisableWow64FsRedirection", "CreateFileA",
                                           "Wow64RevertWow64FsRedirection"};
    auto after = [&](std::vector<std::string> calls) {
        calls.insert(calls.begin(), open.begin(), open.end());
        return calls;
    };
    const std::vector<Row> rows = {
        {"CreateFileA", open, false},
        {"GetFileSize", after({"GetFileSize", "CloseHandle"}), false},
        {"CreateFileMappingA", after({"GetFileSize", "CreateFileMappingA", "CloseHandle"}), false},
        // No view of all of it: the file is read in parts, none mapped yet.
        {"MapViewOfFile",
         after({"GetFileSize", "CreateFileMappingA", "MapViewOfFile", "GetSystemInfo", "CloseHandle",
                "CloseHandle"}),
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failing);
        HostClearCalls();
        HostFailNextCall(row.failing, ERROR_ACCESS_DENIED);
        MappedFile file;
        EXPECT_EQ(OpenMappedFile(path.c_str(), file), row.opens);
        if (row.opens) CloseMappedFile(file);
        EXPECT_EQ(HostCalls(), row.calls);
        // Nothing is left open.
        MappedFile again;
        ASSERT_TRUE(OpenMappedFile(path.c_str(), again));
        CloseMappedFile(again);
    }
    HostClearCalls();
    MappedFile file;
    ASSERT_TRUE(OpenMappedFile(path.c_str(), file));
    CloseMappedFile(file);
    EXPECT_EQ(HostCalls(), after({"GetFileSize", "CreateFileMappingA", "MapViewOfFile",
                                  "UnmapViewOfFile", "CloseHandle", "CloseHandle"}));
}

// Six DLLs whose names lie a MiB apart, in a section of their own that starts
// 1 MiB into an 8 MiB file; the last name ends 2 bytes past a MiB boundary.
PeImage SpreadNamesImage() {
    std::vector<ImportSpec> imports;
    for (int k = 0; k < 6; ++k) imports.push_back({"D" + std::to_string(k) + ".dll", {"f" + std::to_string(k)}});
    PeImage image = BuildImage(imports);
    const std::uint32_t start = 1 << 20, megabyte = 1 << 20;
    image.AddSection(start, 7 * megabyte, start);
    image.bytes.resize(start + 7 * megabyte, 0);
    for (std::uint32_t k = 0; k < 6; ++k) {
        const std::uint32_t at = start + k * megabyte + (k == 5 ? megabyte - 5 : 0x100);
        image.PutText(at, "D" + std::to_string(k) + ".dll");
        image.Put32(image.descriptors[k] + 0x0C, at);
    }
    return image;
}

TEST(HostFiles, FileTooBigForOneViewIsReadInParts) {
    const std::string path = WriteTestFile("spread.dll", SpreadNamesImage().bytes);
    EntryList whole, parts;
    ASSERT_TRUE(ReadImports(path, whole, DllFunctions));
    ASSERT_EQ(whole.size(), 6u);
    EXPECT_EQ(whole[5], "D5.dll: f5");

    HostRefuseViewsLongerThan(2 << 20);
    HostClearCalls();
    EXPECT_TRUE(ReadImports(path, parts, DllFunctions));
    EXPECT_EQ(parts, whole);
    const std::vector<std::string>& calls = HostCalls();
    const long maps = std::count(calls.begin(), calls.end(), "MapViewOfFile");
    EXPECT_GT(maps, 1 + MappedPartCount) << "parts were replaced as the walk moved";
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "UnmapViewOfFile"), maps - 1)
        << "every part's view, and no other, is unmapped";
    EXPECT_EQ(HostOpenViews(), 0u);

    // A part that cannot be mapped fails the file, and nothing stays open.
    HostFailNextCall("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY);  // all of it
    HostFailNextCall("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY);  // its first part
    EXPECT_FALSE(ReadImports(path, parts, DllFunctions));
    EXPECT_TRUE(parts.empty());
    EXPECT_EQ(HostOpenViews(), 0u);
    MappedFile again;
    EXPECT_TRUE(OpenMappedFile(path.c_str(), again)) << "the file was closed";
    CloseMappedFile(again);
    HostRefuseViewsLongerThan(0);
    HostClearCalls();
}

TEST(HostFiles, ReaderClosesTheViewOnEveryPath) {
    const std::string notImage = WriteTestFile("text.txt", std::string("hello"));
    EntryList entries = {"stale"};
    HostClearCalls();
    EXPECT_FALSE(ReadImports(notImage, entries, DllFunctions));
    EXPECT_TRUE(entries.empty());
    const std::vector<std::string>& calls = HostCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()),
              std::vector<std::string>({"UnmapViewOfFile", "CloseHandle", "CloseHandle"}));
}

TEST(HostFiles, ShareModeZeroHoldsAcrossProcesses) {
    const std::string path = WriteTestFile("shared.bin", std::string("MZ"));
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        char signal = held == INVALID_HANDLE_VALUE ? 'n' : 'y';
        (void)!write(toParent[1], &signal, 1);
        (void)!read(toChild[0], &signal, 1);  // hold until the parent has tried
        _exit(0);
    }
    char signal = 0;
    ASSERT_EQ(read(toParent[0], &signal, 1), 1);
    ASSERT_EQ(signal, 'y');
    MappedFile file;
    EXPECT_FALSE(OpenMappedFile(path.c_str(), file));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    (void)!write(toChild[1], &signal, 1);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(OpenMappedFile(path.c_str(), file));
    CloseMappedFile(file);
}

}  // namespace
