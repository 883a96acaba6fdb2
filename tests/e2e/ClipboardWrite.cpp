// clipboard-write TEXT: replaces the clipboard's contents with TEXT as CF_TEXT
// and prints the clipboard's sequence number after the change (decimal, LF).
// Exit status: 0 done, 1 a step failed, 2 usage.
#include <windows.h>

#include <cstdio>
#include <cstring>

static bool OpenClipboardPatiently() {
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (OpenClipboard(NULL)) return true;
        Sleep(20);
    }
    return false;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::size_t size = std::strlen(argv[1]) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block == NULL) return 1;
    void* bytes = GlobalLock(block);
    if (bytes == NULL) return 1;
    std::memcpy(bytes, argv[1], size);
    GlobalUnlock(block);

    if (!OpenClipboardPatiently()) return 1;
    bool done = EmptyClipboard() && SetClipboardData(CF_TEXT, block) != NULL;
    if (!done) GlobalFree(block);  // only a block the clipboard took is its own
    if (!CloseClipboard()) done = false;
    if (!done) return 1;
    char line[32];
    int length = std::snprintf(line, sizeof line, "%lu\n",
                               static_cast<unsigned long>(GetClipboardSequenceNumber()));
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(length), &written, NULL);
    return 0;
}
