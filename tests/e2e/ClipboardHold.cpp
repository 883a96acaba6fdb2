// clipboard-hold RELEASE-FILE: opens the clipboard for a window of its own and
// keeps it open, so that every other program's OpenClipboard fails, until the
// file RELEASE-FILE exists; then closes the clipboard and ends.
// Prints "held" on standard output once the clipboard is open.
// Exit status: 0 held and let go when told, 1 the clipboard could not be
// opened, 2 usage, 3 never told to let go (it lets go after two minutes).
#include <windows.h>

static void Say(const char* line) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, lstrlenA(line), &written, NULL);
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    // Hidden: it needs a window to own the open clipboard, not to be seen.
    HWND window = CreateWindowExA(0, "STATIC", "clipboard-hold", 0, 0, 0, 10, 10, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    if (window == NULL) return 1;

    bool opened = false;
    for (int attempt = 0; attempt < 250 && !opened; ++attempt) {
        opened = OpenClipboard(window) != 0;
        if (!opened) Sleep(20);
    }
    if (!opened) return 1;
    Say("held\n");

    // Keeps answering messages while it waits, so no other program that
    // sends one to this window waits on it.
    const DWORD limit = 120000;
    const DWORD start = GetTickCount();
    bool told = false;
    while (!told && GetTickCount() - start < limit) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        told = GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES;
        if (!told) MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
    }
    CloseClipboard();
    DestroyWindow(window);
    return told ? 0 : 3;
}
