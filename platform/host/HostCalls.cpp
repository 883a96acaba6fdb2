#include "HostCalls.h"

#include <deque>
#include <map>

#include "HostTesting.h"

namespace {

thread_local DWORD lastError = 0;
std::vector<std::string> calls;
std::map<std::string, std::deque<DWORD>> failures;

}  // namespace

DWORD WINAPI GetLastError() { return lastError; }

void WINAPI SetLastError(DWORD errorCode) { lastError = errorCode; }

bool HostCallFails(const char* name) {
    calls.emplace_back(name);
    auto pending = failures.find(name);
    if (pending == failures.end() || pending->second.empty()) return false;
    lastError = pending->second.front();
    pending->second.pop_front();
    return true;
}

void HostFailNextCall(const std::string& name, DWORD errorCode) {
    failures[name].push_back(errorCode);
}

const std::vector<std::string>& HostCalls() { return calls; }

void HostClearCalls() {
    calls.clear();
    failures.clear();
}
