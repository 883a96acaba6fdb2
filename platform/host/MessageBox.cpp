// Host layer: message boxes. None is shown and none waits for an answer: each
// is recorded for the tests and answered with IDOK.

#include "HostCalls.h"
#include "HostTesting.h"

namespace {

std::vector<HostMessageBox> boxes;

}  // namespace

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (HostCallFails("MessageBoxA")) return 0;
    // Windows titles a box given no caption "Error".
    boxes.push_back(HostMessageBox{owner, text == nullptr ? "" : text,
                                   caption == nullptr ? "Error" : caption, type});
    return IDOK;
}

const std::vector<HostMessageBox>& HostMessageBoxes() { return boxes; }

void HostClearMessageBoxes() { boxes.clear(); }
