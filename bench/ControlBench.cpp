// The program's work in the real tree-view control, phase by phase, as a user
// meets it (Windows build, run under Wine or on Windows):
//   read     ReadImports of every file of the drop
//   hidden   RebuildTree into a new hidden tree view
//   drop     WM_DROPFILES through MainWindowProc into a new window created as
//            the program creates it, visible, until it has painted
//   export   the copy's text (TreeToText)
//   copy     the whole copy command, clipboard included
//   next     the next drop (one small file), which first empties the tree
// and the ratio of the visible drop to the hidden rebuild, measured in the
// same run.
//
// usage: quernwick-control-bench [--runs N] [--quick] [--no-limits] [--case TEXT] [FOLDER]
// FOLDER holds real DLLs, listed in one drop as a first case. --case runs
// only the cases whose name holds TEXT.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "Drops.h"
#include "ImageBuilder.h"
#include "TestFiles.h"
#include "app/CopyTreeToClipboard.h"
#include "app/MainWindow.h"
#include "import/ImportReader.h"
#include "tree/RebuildTree.h"
#include "tree/TreeControl.h"
#include "tree/TreeToText.h"

namespace {

typedef std::chrono::steady_clock Clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Handles what waits for the thread's windows: showing, painting.
void Pump() {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A drop: its name and the paths of its files, whose images are written when
// the case runs, so that the 32-bit build keeps its address space for the
// program's own work.
struct Case {
    std::string name;
    std::function<std::vector<std::string>()> paths;
};

struct Timing {
    double read = 0, hidden = 0, drop = 0, exportText = 0, copy = 0, next = 0;
    long items = 0;
    std::size_t textBytes = 0;
};

HWND CreateVisibleWindow() {
    HWND window = CreateMainWindow(GetModuleHandleA(NULL));
    PreviousWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWindowProc)));
    Pump();
    return window;
}

void SendDrop(HWND window, const std::vector<std::string>& paths) {
    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    UpdateWindow(window);  // the repaint that the drop asked for, if any
}

Timing Measure(const std::vector<std::string>& paths, const std::string& smallFile) {
    Timing timing;
    EntryList entries;
    Clock::time_point start = Clock::now();
    for (const std::string& path : paths) ReadImports(path, entries, DllFunctions);
    timing.read = SecondsSince(start);

    HWND hidden = CreateWindowExA(0, "SysTreeView32", "bench", 0, 0, 0, 640, 480, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    DroppedFiles = paths;
    start = Clock::now();
    RebuildTree(hidden);
    timing.hidden = SecondsSince(start);
    timing.items = static_cast<long>(SendMessageA(hidden, TVM_GETCOUNT, 0, 0));
    DestroyWindow(hidden);

    HWND window = CreateVisibleWindow();
    start = Clock::now();
    SendDrop(window, paths);
    timing.drop = SecondsSince(start);
    Pump();

    std::string text;
    start = Clock::now();
    TreeToText(window, text, FirstRootItem(window), 0);
    timing.exportText = SecondsSince(start);
    timing.textBytes = text.size();

    start = Clock::now();
    CopyTreeToClipboard(window);
    timing.copy = SecondsSince(start);
    Pump();

    start = Clock::now();
    SendDrop(window, {smallFile});
    timing.next = SecondsSince(start);
    Pump();
    DestroyWindow(window);
    Pump();
    return timing;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each phase's median; items and text as in the first run.
Timing MedianOf(const std::vector<Timing>& runs) {
    Timing median = runs[0];
    for (double Timing::*phase : {&Timing::read, &Timing::hidden, &Timing::drop,
                                  &Timing::exportText, &Timing::copy, &Timing::next}) {
        std::vector<double> values;
        for (const Timing& run : runs) values.push_back(run.*phase);
        median.*phase = Median(values);
    }
    return median;
}

// The path of the crafted image called name, written on first use.
std::string Image(const std::string& name, const std::function<PeImage()>& build) {
    static std::map<std::string, std::string> written;
    std::string& path = written[name];
    if (path.empty()) path = WriteTestFile(name + ".dll", build().bytes);
    return path;
}

Case Copies(const std::string& name, int files, const std::string& image,
            const std::function<PeImage()>& build) {
    return Case{name, [=] { return std::vector<std::string>(files, Image(image, build)); }};
}

// About items items of one shape in all, in as few copies of one image as
// the reader's limits allow.
Case Crafted(std::uint32_t items, bool perFunction) {
    const std::uint32_t perFile = perFunction ? 2 * MaxImportEntries + 1 : MaxImportEntries + 2;
    const std::uint32_t files = (items + perFile - 1) / perFile;
    const std::uint32_t each = items / files;
    const std::string size = std::to_string(items / 1024) + "k";
    std::string name = size + " items, " + (perFunction ? "a DLL per function" : "one DLL");
    if (files > 1) name += " (" + std::to_string(files) + " files)";
    if (perFunction)
        return Copies(name, files, "per" + size, [=] { return BuildDllPerFunctionImage((each - 1) / 2); });
    return Copies(name, files, "one" + size, [=] { return BuildOneDllImage(each - 2); });
}

// The entry limit and the text limit together: entries of "D.dll: " and a
// name, all but filling the text limit.
PeImage LongNamesImage() {
    const std::size_t nameLength = MaxImportTextBytes / MaxImportEntries - 8;
    ImportSpec dll{"D.dll", {}};
    for (std::uint32_t k = 0; k < MaxImportEntries; ++k)
        dll.functions.push_back(std::to_string(1000000 + k) + std::string(nameLength - 7, 'n'));
    return BuildImage({dll});
}

std::vector<Case> Cases(const std::string& folder, bool quick, bool limits) {
    std::vector<Case> cases;
    if (!folder.empty()) {
        std::vector<std::string> real;
        std::error_code error;
        for (const auto& file : std::filesystem::directory_iterator(folder, error)) {
            std::string name = file.path().filename().string();
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0)
                real.push_back(file.path().string());
        }
        std::sort(real.begin(), real.end());
        if (!real.empty())
            cases.push_back({std::to_string(real.size()) + " real DLLs", [real] { return real; }});
    }
    std::vector<std::uint32_t> sizes = {4096, 16384};
    if (!quick) sizes.push_back(65536);
    for (std::uint32_t items : sizes) {
        cases.push_back(Crafted(items, false));
        cases.push_back(Crafted(items, true));
    }
    if (limits) {
        // The largest listings that one file can give, and drops of several.
        auto one = [] { return BuildOneDllImage(MaxImportEntries); };
        auto per = [] { return BuildDllPerFunctionImage(MaxImportEntries); };
        cases.push_back(Copies("limit, one DLL", 1, "limit-one", one));
        cases.push_back(Copies("limit, a DLL per function", 1, "limit-per", per));
        cases.push_back(Copies("limit, one DLL, names at the text limit", 1, "limit-text", LongNamesImage));
        cases.push_back(Copies("4 files at the limit, one DLL", 4, "limit-one", one));
        cases.push_back(Copies("4 files at the limit, a DLL per function", 4, "limit-per", per));
        cases.push_back(Copies("one entry beyond the limit", 1, "beyond",
                               [] { return BuildOneDllImage(MaxImportEntries + 1); }));
    }
    cases.push_back(Copies("hostile: 4096 descriptors x 256 thunks", 1, "hostile",
                           [] { return BuildSharedThunkImage(4096, 256); }));
    return cases;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 1;
    bool quick = false, limits = true;
    std::string folder, only;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--quick") quick = true;
        else if (argument == "--no-limits") limits = false;
        else if (argument == "--case" && i + 1 < argc) only = argv[++i];
        else folder = argument;
    }
    InitCommonControls();
    std::printf("%d-bit build, median of %d run(s); seconds\n", static_cast<int>(8 * sizeof(void*)), runs);
    std::printf("%-44s %8s %9s %7s %7s %7s %7s %7s %7s %6s\n", "case", "items", "text MB", "read",
                "hidden", "drop", "export", "copy", "next", "drop/h");
    const std::string smallFile = Image("small", [] { return BuildOneDllImage(1); });
    for (const Case& c : Cases(folder, quick, limits)) {
        if (c.name.find(only) == std::string::npos) continue;
        std::vector<Timing> timings;
        try {
            const std::vector<std::string> paths = c.paths();
            for (int run = 0; run < runs; ++run) timings.push_back(Measure(paths, smallFile));
        } catch (const std::bad_alloc&) {
            // A 32-bit process under the emulator finds little address space.
            std::printf("%-44s out of memory\n", c.name.c_str());
            continue;
        }
        Timing t = MedianOf(timings);
        std::printf("%-44s %8ld %9.2f %7.3f %7.3f %7.3f %7.3f %7.3f %7.3f %6.2f\n", c.name.c_str(),
                    t.items, t.textBytes / 1e6, t.read, t.hidden, t.drop, t.exportText, t.copy,
                    t.next, t.hidden > 0 ? t.drop / t.hidden : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
