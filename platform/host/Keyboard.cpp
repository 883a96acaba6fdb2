// Host layer: the keyboard state of the (one) thread, 256 bytes, one per
// virtual key. Only two bits of a byte mean anything and only those are kept:
// 0x80, the key is down, and 0x01, the key is toggled.

#include <algorithm>
#include <array>

#include "HostCalls.h"
#include "HostTesting.h"

namespace {

const BYTE downBit = 0x80;
const BYTE toggledBit = 0x01;

std::array<BYTE, 256> keys{};

}  // namespace

SHORT WINAPI GetKeyState(int virtKey) {
    if (HostCallFails("GetKeyState")) return 0;
    // Only the low byte of the key code selects the key.
    BYTE state = keys[static_cast<unsigned>(virtKey) & 0xFFu];
    unsigned short result = (state & downBit) ? 0xFF80u : 0u;
    if (state & toggledBit) result |= 1u;
    return static_cast<SHORT>(result);
}

BOOL WINAPI GetKeyboardState(BYTE* keyState) {
    if (HostCallFails("GetKeyboardState")) return FALSE;
    if (keyState == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    std::copy(keys.begin(), keys.end(), keyState);
    return TRUE;
}

BOOL WINAPI SetKeyboardState(BYTE* keyState) {
    if (HostCallFails("SetKeyboardState")) return FALSE;
    if (keyState == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    for (std::size_t key = 0; key < keys.size(); ++key)
        keys[key] = keyState[key] & (downBit | toggledBit);
    return TRUE;
}

void HostResetKeyboard() { keys.fill(0); }
