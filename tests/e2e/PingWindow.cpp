// ping-window SECONDS: sends WM_NULL to Quernwick's window and waits up to
// SECONDS for the answer: a window that does not answer is hung.
// Exit status: 0 answered, 1 no such window, 3 no answer in time, 5 usage.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) return 5;
    UINT timeout = static_cast<UINT>(std::atoi(argv[1])) * 1000;
    HWND window = FindWindowA("SysTreeView32", "Quernwick");
    if (window == NULL) return 1;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &result) ? 0 : 3;
}
