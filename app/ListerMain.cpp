// quernwick-list FILE...: see Lister.h.
#include <algorithm>

#include "../platform/Platform.h"
#include "Lister.h"

// Writes through the standard handle: bytes go out as they are, CR LF
// included, with no text-mode translation.
static void WriteAll(DWORD standardHandle, const std::string& text) {
    HANDLE handle = GetStdHandle(standardHandle);
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
        if (!WriteFile(handle, text.data() + done, chunk, &written, NULL) || written == 0) return;
        done += written;
    }
}

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string output, errors;
    int status = ListFiles(arguments, output, errors);
    WriteAll(STD_OUTPUT_HANDLE, output);
    WriteAll(STD_ERROR_HANDLE, errors);
    return status;
}
