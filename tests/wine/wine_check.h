// Checks in the manner of conformance tests: each failure names the call,
// the expected and the actual value, and GetLastError at that moment; the
// program ends with "N passed, M failed" and exits nonzero on any failure.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace check {

inline int &Passed() { static int n = 0; return n; }
inline int &Failed() { static int n = 0; return n; }

inline void Report(bool ok, const char *file, int line, const char *what,
                   const std::string &expected, const std::string &got) {
    DWORD error = GetLastError();
    if (ok) {
        Passed()++;
        return;
    }
    Failed()++;
    printf("%s:%d: %s: expected %s, got %s (GetLastError %lu)\n", file, line, what,
           expected.c_str(), got.c_str(), (unsigned long)error);
    fflush(stdout);
    SetLastError(error);
}

inline std::string Text(long long v) { return std::to_string(v); }
inline std::string Text(const std::string &s) { return "\"" + s + "\""; }
inline std::string Text(const char *s) { return Text(std::string(s)); }
inline std::string Text(const std::vector<unsigned char> &bytes) {
    std::string s = "[";
    char two[4];
    for (unsigned char v : bytes) {
        snprintf(two, sizeof two, s.size() > 1 ? " %02X" : "%02X", v);
        s += two;
    }
    return s + "]";
}

inline int Summary() {
    printf("%d passed, %d failed\n", Passed(), Failed());
    return Failed() ? 1 : 0;
}

}  // namespace check

#define CHECK_EQ(call, expected)                                                        \
    do {                                                                                \
        auto got_ = (call);                                                             \
        auto want_ = (expected);                                                        \
        check::Report(got_ == want_, __FILE__, __LINE__, #call, check::Text(want_),     \
                      check::Text(got_));                                               \
    } while (0)

#define CHECK_TRUE(cond) CHECK_EQ((bool)(cond) ? 1 : 0, 1)
