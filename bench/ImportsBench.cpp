// Reading and listing crafted images of 1,000 imports up to the reader's
// limit, in the host build: the cost per entry should stay flat as the image
// grows. (The real control's costs: ControlBench.cpp.)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

#include "ImageBuilder.h"
#include "TestFiles.h"
#include "TreeWindow.h"
#include "import/ImportReader.h"
#include "tree/PopulateTree.h"
#include "tree/TreeControl.h"
#include "tree/TreeToText.h"

namespace {

// An image with count functions, 500 to a DLL, and its path.
const std::string& ImageWith(int count) {
    static std::map<int, std::string> paths;
    std::string& path = paths[count];
    if (path.empty()) {
        std::vector<ImportSpec> imports;
        char name[32];
        for (int index = 0; index < count; ++index) {
            if (index % 500 == 0) {
                std::snprintf(name, sizeof name, "LIBRARY%04d.dll", index / 500);
                imports.push_back({name, {}});
            }
            std::snprintf(name, sizeof name, "ImportedFunction%07d", index);
            imports.back().functions.push_back(index % 50 == 49 ? "#" + std::to_string(index % 65536) : name);
        }
        path = WriteTestFile("bench" + std::to_string(count) + ".dll", BuildImage(imports).bytes);
    }
    return path;
}

void PerEntry(benchmark::State& state, int entries) {
    state.counters["entries"] = entries;
    // Seconds per entry, printed with its SI prefix (ns).
    state.counters["per_entry"] = benchmark::Counter(
        entries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void ReadImportsOfImage(benchmark::State& state) {
    const std::string& path = ImageWith(static_cast<int>(state.range(0)));
    EntryList entries;
    for (auto _ : state) {
        ReadImports(path, entries, DllFunctions);
        benchmark::DoNotOptimize(entries.size());
    }
    PerEntry(state, static_cast<int>(entries.size()));
}

void PopulateAndExport(benchmark::State& state) {
    EntryList entries;
    ReadImports(ImageWith(static_cast<int>(state.range(0))), entries, DllFunctions);
    HWND tree = CreateTreeWindow();
    std::string text;
    for (auto _ : state) {
        DeleteAllItems(tree);
        HTREEITEM root = InsertItem(tree, TVI_ROOT, "bench.dll");
        PopulateTree(tree, root, entries, 0, std::string(), EntrySeparator, 0);
        text.clear();
        TreeToText(tree, text, FirstRootItem(tree), 0);
        benchmark::DoNotOptimize(text.data());
    }
    DestroyWindow(tree);
    PerEntry(state, static_cast<int>(entries.size()));
}

}  // namespace

BENCHMARK(ReadImportsOfImage)->Arg(1000)->Arg(4000)->Arg(MaxImportEntries)->Unit(benchmark::kMicrosecond);
BENCHMARK(PopulateAndExport)->Arg(1000)->Arg(4000)->Arg(MaxImportEntries)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
