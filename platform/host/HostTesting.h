// Test levers of the host layer. Only tests include this header.
#pragma once

#include <string>
#include <vector>

#include "Win32.h"

// The next call of the named function (for example "MapViewOfFile") fails
// with the given error code. Several requests for one name apply in order to
// its next calls.
void HostFailNextCall(const std::string& name, DWORD errorCode);

// The names of the calls made since the last HostClearCalls, in order.
const std::vector<std::string>& HostCalls();

// Forgets the logged calls and any failure not yet used.
void HostClearCalls();
