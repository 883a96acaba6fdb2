// The floor for listing a folder of PE files: open and map each file, touch
// every page of the section that holds its import table, close it. No
// program that lists imports can do less. Prints the pages touched.
#include <cstdio>
#include <cstring>

#include "import/MappedFile.h"

static unsigned Read32(const unsigned char* view, DWORD size, unsigned long long offset) {
    if (offset + 4 > size) return 0;
    unsigned value;
    std::memcpy(&value, view + offset, 4);
    return value;
}

int main(int argc, char** argv) {
    unsigned long long pages = 0, touched = 0;
    for (int index = 1; index < argc; ++index) {
        MappedFile file;
        if (!OpenMappedFile(argv[index], file)) continue;
        const unsigned char* view = file.viewBase;
        if (view == nullptr || file.fileSize > 0xFFFFFFFFu) {  // read in parts: not the floor's case
            CloseMappedFile(file);
            continue;
        }
        DWORD size = static_cast<DWORD>(file.fileSize);
        unsigned nt = Read32(view, size, 0x3C);
        unsigned magic = Read32(view, size, nt + 0x18ull) & 0xFFFF;
        unsigned importRva = Read32(view, size, nt + (magic == 0x20B ? 0x90ull : 0x80ull));
        unsigned sections = Read32(view, size, nt + 4ull) >> 16;
        unsigned long long table = nt + 0x18ull + (Read32(view, size, nt + 0x14ull) & 0xFFFF);
        for (unsigned s = 0; s < sections; ++s) {
            unsigned long long header = table + 40ull * s;
            unsigned virtualSize = Read32(view, size, header + 8);
            unsigned address = Read32(view, size, header + 12);
            unsigned raw = Read32(view, size, header + 20);
            if (importRva < address || importRva - address >= virtualSize) continue;
            unsigned long long end = static_cast<unsigned long long>(raw) + virtualSize;
            for (unsigned long long at = raw; at < end && at < size; at += 4096, ++pages)
                touched += view[at];
            break;
        }
        CloseMappedFile(file);
    }
    std::printf("%llu pages (%llu)\n", pages, touched & 1);
    return 0;
}
