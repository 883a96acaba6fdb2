// quernwick-list: the text the copy command would give, and its exit status.
#include <gtest/gtest.h>

#include "ImageBuilder.h"
#include "TestFiles.h"
#include "app/Lister.h"

namespace {

TEST(Lister, WritesTheCopyTextOfTheFilesInOrder) {
    const std::string demo = WriteTestFile(
        "list-demo.exe",
        BuildImage({{"KERNEL32.dll", {"ExitProcess", "GetLastError"}}, {"WS2_32.dll", {"#23"}}}).bytes);
    const std::string notes = WriteTestFile("list-notes.txt", std::string("text"));
    const std::string demoText = demo + "\r\n\tKERNEL32.dll\r\n\t\tExitProcess\r\n\t\tGetLastError\r\n"
                                        "\tWS2_32.dll\r\n\t\t#23\r\n";
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        std::string output;
        int status;
    };
    const std::vector<Row> rows = {
        {"one image", {demo}, demoText, 0},
        {"an unreadable file among images", {demo, notes, demo},
         demoText + "\r\nCould not read " + notes + "\r\n\r\n" + demoText, 1},
        {"only unreadable files", {notes}, "Could not read " + notes + "\r\n", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string output, errors;
        EXPECT_EQ(ListFiles(row.arguments, output, errors), row.status);
        EXPECT_EQ(output, row.output);
        EXPECT_EQ(errors, "");
    }
}

TEST(Lister, UsageAndHelp) {
    std::string output, errors;
    EXPECT_EQ(ListFiles({}, output, errors), 2);
    EXPECT_EQ(output, "");
    EXPECT_EQ(errors, "usage: quernwick-list FILE...\r\n");

    errors.clear();
    EXPECT_EQ(ListFiles({"--help"}, output, errors), 0);
    EXPECT_EQ(output.rfind("usage: quernwick-list FILE...\r\n", 0), 0u);
    EXPECT_EQ(errors, "");
}

}  // namespace
