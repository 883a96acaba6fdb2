// Host layer internals: the services that keep global memory blocks (drops,
// the clipboard) reach them here, without the lock count or the call log.
#pragma once

#include "Win32.h"

// The bytes of a live block; false for a handle that is no block.
bool GlobalBlockBytes(HGLOBAL memory, unsigned char*& data, SIZE_T& size);

// Frees a live block, locked or not; does nothing for a handle that is no
// block.
void ReleaseGlobalBlock(HGLOBAL memory);
