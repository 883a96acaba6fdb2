// The file view over the host layer: each failing step releases what the
// earlier ones acquired, and share mode 0 holds across processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "HostTesting.h"
#include "TestFiles.h"
#include "import/ImportReader.h"
#include "import/MappedFile.h"

namespace {

TEST(HostFiles, FailingStepReleasesEarlierStepsInReverseOrder) {
    const std::string path = WriteTestFile("steps.bin", std::string("MZ"));
    struct Row {
        const char* failing;
        std::vector<std::string> calls;
    };
    // The open runs with the file system redirection of 32-bit programs off.
    const std::vector<std::string> open = {"Wow64DisableWow64FsRedirection", "CreateFileA",
                                           "Wow64RevertWow64FsRedirection"};
    auto after = [&](std::vector<std::string> calls) {
        calls.insert(calls.begin(), open.begin(), open.end());
        return calls;
    };
    const std::vector<Row> rows = {
        {"CreateFileA", open},
        {"GetFileSize", after({"GetFileSize", "CloseHandle"})},
        {"CreateFileMappingA", after({"GetFileSize", "CreateFileMappingA", "CloseHandle"})},
        {"MapViewOfFile",
         after({"GetFileSize", "CreateFileMappingA", "MapViewOfFile", "CloseHandle", "CloseHandle"})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failing);
        HostClearCalls();
        HostFailNextCall(row.failing, ERROR_ACCESS_DENIED);
        MappedFile file;
        EXPECT_FALSE(OpenMappedFile(path.c_str(), file));
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
