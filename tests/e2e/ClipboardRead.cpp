// clipboard-read [--after SEQUENCE]: writes the clipboard's CF_TEXT bytes, up
// to their terminating NUL, to standard output exactly as they are (CR LF
// stays CR LF).
// With --after, first waits until the clipboard's sequence number differs from
// SEQUENCE (as clipboard-write prints it), without opening the clipboard, so
// that it never stands in the way of the program that is changing it.
// Exit status: 0 text written, 1 the clipboard holds no text, 2 the clipboard
// could not be opened, 3 the text could not be read or written, 4 the
// clipboard did not change within twenty seconds, 5 usage.
#include <windows.h>

#include <cstdlib>
#include <cstring>

// Another program (Wine's own clipboard manager among them) may have the
// clipboard open for a moment: try again for a while before giving up.
static bool OpenClipboardPatiently() {
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (OpenClipboard(NULL)) return true;
        Sleep(20);
    }
    return false;
}

static bool WriteAll(const char* bytes, DWORD size) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(out, bytes, size, &written, NULL) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

static bool WaitForChange(DWORD sequence) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (GetClipboardSequenceNumber() != sequence) return true;
        Sleep(10);
    }
    return false;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--after") == 0) {
        if (!WaitForChange(std::strtoul(argv[2], NULL, 10))) return 4;
    } else if (argc != 1) {
        return 5;
    }
    if (!OpenClipboardPatiently()) return 2;
    int status = 1;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data != NULL) {
        const char* text = static_cast<const char*>(GlobalLock(data));
        SIZE_T capacity = GlobalSize(data);
        status = 3;
        if (text != NULL) {
            SIZE_T length = 0;
            while (length < capacity && text[length] != '\0') ++length;
            // A block without its NUL is not text as CF_TEXT defines it.
            if (length < capacity && WriteAll(text, static_cast<DWORD>(length))) status = 0;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return status;
}
