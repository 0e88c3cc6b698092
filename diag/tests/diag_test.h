// Shared setup of the diag's host tests: a fresh simulated loader and an
// empty binding for every case, and a way to run the program with its
// stdout captured.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../tests/host/named_case.h"
#include "binding.h"
#include "sim_loader.h"

using Calls = std::vector<std::string>;

// The loader calls of one D418Init that finds the library and all exports.
inline Calls BindCalls() {
    return {"LoadLibraryA d418lib.dll",      "GetProcAddress D418SendCommand",
            "GetProcAddress D418ReadResponse", "GetProcAddress D418Reset",
            "GetProcAddress D418Init",       "GetProcAddress D418Timeout"};
}

inline Calls Then(Calls first, const Calls &more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

class DiagTest : public ::testing::Test {
protected:
    void SetUp() override {
        simload::Reset();
        Bound = D418Binding{};
    }
};

struct RunResult {
    int status;
    std::string out;
};

// Runs DiagMain with these arguments after the program name.
RunResult RunDiag(std::vector<std::string> args);
