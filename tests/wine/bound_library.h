// The five exports of the real d418lib.dll, loaded with LoadLibraryA and
// bound by name, as a program that links nothing would use them.
#pragma once

#include <windows.h>

#include "d418lib.h"

struct BoundLibrary {
    HMODULE module = nullptr;
    D418_INIT_FN Init = nullptr;
    D418_TIMEOUT_FN Timeout = nullptr;
    D418_RESET_FN Reset = nullptr;
    D418_SEND_COMMAND_FN Send = nullptr;
    D418_READ_RESPONSE_FN Read = nullptr;

    // True when the library loaded and all five exports were found.
    bool Load() {
        module = LoadLibraryA("d418lib.dll");
        if (!module) return false;
        Init = reinterpret_cast<D418_INIT_FN>(GetProcAddress(module, "D418Init"));
        Timeout = reinterpret_cast<D418_TIMEOUT_FN>(GetProcAddress(module, "D418Timeout"));
        Reset = reinterpret_cast<D418_RESET_FN>(GetProcAddress(module, "D418Reset"));
        Send = reinterpret_cast<D418_SEND_COMMAND_FN>(GetProcAddress(module, "D418SendCommand"));
        Read = reinterpret_cast<D418_READ_RESPONSE_FN>(GetProcAddress(module, "D418ReadResponse"));
        return Init && Timeout && Reset && Send && Read;
    }
};
