#include "Drops.h"

#include <cstring>

#ifdef _WIN32
#include <shlobj.h>
#endif

namespace {

// Copies the characters of every path and its NUL after the record, then the
// NUL of the empty path that ends the list.
template <typename Text>
HDROP BuildDrop(const std::vector<Text>& paths, bool wide) {
    typedef typename Text::value_type Character;
    std::size_t characters = 1;
    for (const Text& path : paths) characters += path.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(DROPFILES) + characters * sizeof(Character));
    if (block == NULL) return NULL;
    unsigned char* bytes = static_cast<unsigned char*>(GlobalLock(block));
    if (bytes == NULL) {
        GlobalFree(block);
        return NULL;
    }
    DROPFILES record;
    std::memset(&record, 0, sizeof record);
    record.pFiles = sizeof record;
    record.fWide = wide;
    std::memcpy(bytes, &record, sizeof record);
    unsigned char* at = bytes + sizeof record;
    const Character end = 0;
    for (const Text& path : paths) {
        std::memcpy(at, path.data(), path.size() * sizeof(Character));
        at += path.size() * sizeof(Character);
        std::memcpy(at, &end, sizeof end);
        at += sizeof end;
    }
    std::memcpy(at, &end, sizeof end);
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

}  // namespace

HDROP MakeDrop(const std::vector<std::string>& paths) { return BuildDrop(paths, false); }

HDROP MakeWideDrop(const std::vector<std::u16string>& paths) { return BuildDrop(paths, true); }
