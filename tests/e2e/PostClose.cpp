// post-close: posts WM_CLOSE to Quernwick's window, as its close box does.
// Exit status: 0 posted, 1 no such window, 2 the post failed.
#include <windows.h>

int main() {
    HWND window = FindWindowA("SysTreeView32", "Quernwick");
    if (window == NULL) return 1;
    return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 2;
}
