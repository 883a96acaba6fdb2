// dialog-text CAPTION: finds the dialog box with that caption and prints, one
// line each, its owner ("owner", class, caption, whether the owner is enabled)
// and every child window (class and text), tab-separated, LF line ends.
// Exit status: 0 printed, 1 no such dialog, 2 usage.
#include <windows.h>

#include <string>

static std::string Line(const char* first, HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    std::string text(GetWindowTextLengthA(window) + 1, '\0');
    text.resize(GetWindowTextA(window, &text[0], static_cast<int>(text.size())));
    return std::string(first) + "\t" + name + "\t" + text;
}

static BOOL CALLBACK AddChild(HWND child, LPARAM lines) {
    *reinterpret_cast<std::string*>(lines) += Line("child", child) + "\n";
    return TRUE;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HWND dialog = FindWindowA("#32770", argv[1]);
    if (dialog == NULL) return 1;
    std::string lines;
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner != NULL)
        lines += Line("owner", owner) + (IsWindowEnabled(owner) ? "\tenabled\n" : "\tdisabled\n");
    EnumChildWindows(dialog, AddChild, reinterpret_cast<LPARAM>(&lines));
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), lines.data(), static_cast<DWORD>(lines.size()),
              &written, NULL);
    return 0;
}
