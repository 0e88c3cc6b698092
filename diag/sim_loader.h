// The simulated loader for host tests: each case scripts which libraries
// exist and what they export, then reads back the loader calls in order.
// The scripted d418lib exports record their arguments in the same call list
// and return results the case sets.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "loader.h"

namespace simload {

// Win32 error codes the simulated loader leaves behind.
constexpr uint32_t kModNotFound = 126;   // ERROR_MOD_NOT_FOUND
constexpr uint32_t kProcNotFound = 127;  // ERROR_PROC_NOT_FOUND
constexpr uint32_t kInvalidHandle = 6;   // ERROR_INVALID_HANDLE

struct Library {
    bool present = true;
    uint32_t load_error = kModNotFound;  // the last error a failed load leaves
    std::map<std::string, LoaderProc> exports;
    int load_count = 0;  // successful loads minus successful frees
};

// What the scripted exports return, and what D418ReadResponse delivers.
struct Answers {
    int32_t init = 0;
    int32_t timeout = 0;
    int32_t reset = 0;
    int32_t send_command = 0;
    int32_t read_response = 0;
    std::vector<uint8_t> reply;
};

// Forgets every library, call and answer; the last error becomes 0.
void Reset();

// The library loaded by this file name (made, present, on first use).
Library &Script(const std::string &file_name);

// "d418lib.dll" with all five exports bound to the scripted functions.
Library &ScriptD418();

Answers &Answer();

// Every loader call and scripted export call, one line each, for example
// "LoadLibraryA d418lib.dll", "GetProcAddress D418Init", "GetLastError",
// "D418Init 0x00000300", "D418SendCommand w2=0x304 w1=0x102 length=2 AA BB".
std::vector<std::string> &Calls();

void SetLastError(uint32_t code);
uint32_t LastError();

}  // namespace simload
