// Host layer internals: the call log and injected failures, shared by every
// service of the layer.
#pragma once

#include "Win32.h"

// Records a call of the named function. When a test has asked for this call
// to fail, sets the chosen error code as the last error and returns true; the
// caller then returns its failure value without doing anything else.
bool HostCallFails(const char* name);
