// libFuzzer target: the import reader over arbitrary bytes, in both modes.
#include <cstddef>
#include <cstdint>

#include "import/ImportReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    EntryList entries;
    for (ImportListMode mode : {DllNames, DllFunctions}) {
        bool read = ReadImportsFromView(data, static_cast<std::uint32_t>(size), entries, mode);
        if (!read && !entries.empty()) __builtin_trap();  // a failed read leaves no entries
    }
    return 0;
}
