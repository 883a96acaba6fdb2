// Host layer: file system redirection, which Windows applies to 32-bit
// programs on 64-bit systems. The host has none to turn off, so both calls
// succeed and change nothing.

#include "HostCalls.h"

BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID*) {
    if (HostCallFails("Wow64DisableWow64FsRedirection")) return FALSE;
    return TRUE;
}

BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID) {
    if (HostCallFails("Wow64RevertWow64FsRedirection")) return FALSE;
    return TRUE;
}
