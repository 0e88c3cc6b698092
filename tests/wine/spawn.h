// Starts this same test program again as a child process in another mode
// (its one argument), for tests that need a second process.
#pragma once

#include <windows.h>

#include <string>

// The child's process handle, or null when it could not be started.
inline HANDLE Spawn(const char *mode) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string command = std::string("\"") + path + "\" " + mode;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}
