// The simulated platform that host builds link in place of the Win32 one.
// It answers every platform call from a script set by the test and records
// each call as an event, so tests compare exact sequences instead of
// waiting: Sleep only advances a simulated clock.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "../lib/platform.h"
#include "port_device.h"
#include "trace.h"

namespace sim {

// GetVersion results: Windows 98 (high bit set) and an NT-family system.
constexpr uint32_t kWindows98 = 0xC0000A04u;
constexpr uint32_t kWindowsNt = 0x1DB10106u;

struct CreateFileCall {
    std::string name;
    uint32_t access, share, disposition, flags;
};

struct IoctlCall {
    PlatformHandle handle;
    uint32_t code;
    bool input_null;
    std::vector<uint8_t> input;
    uint32_t input_length;
    bool output_null;
    uint32_t output_length;
    uint32_t last_error_at_call;  // what SetLastError left just before
};

// One scripted answer of the device. returned < 0 means "as many bytes as
// output holds".
struct IoctlAnswer {
    bool ok = true;
    uint32_t error = 0;
    std::vector<uint8_t> output;
    int64_t returned = -1;
};

struct Platform {
    uint32_t version = kWindows98;
    PortDevice *ports = nullptr;   // null: every read gives 0xFF
    bool record_ports = true;      // off for long benchmark loops
    uint64_t clock_ms = 0;
    uint64_t sleeps = 0;
    uint32_t last_error = 0xDEADBEEFu;
    std::vector<Event> events;

    // Memory: the nth allocation (1-based) fails when fail_alloc == n.
    long fail_alloc = 0;
    long allocs = 0, frees = 0, live_blocks = 0;
    std::vector<uint8_t> last_freed;  // content of the last block freed

    // Device: CreateFile gives open_result (and sets open_error when that
    // is the invalid handle); CloseHandle gives close_result.
    PlatformHandle open_result = reinterpret_cast<PlatformHandle>(0x44);
    uint32_t open_error = 2;
    std::vector<CreateFileCall> opens;
    int close_result = 1;
    uint32_t close_error = 6;
    std::vector<PlatformHandle> closes;
    std::deque<IoctlAnswer> answers;  // empty: success with no bytes
    std::vector<IoctlCall> ioctls;

    void Reset() { *this = Platform(); }
};

Platform &P();

// Events rendered one per line as text, with runs of one or two repeated
// events (eight events or more) folded into "xN" lines, e.g. "in 301 = 00\n  x99999".
// kinds: which kinds to keep (empty keeps all).
std::string Trace(const std::vector<Ev> &kinds = {});
// Only the port accesses and the pauses.
std::string PortTrace();

// Number of recorded events of one kind.
size_t Count(Ev kind);

}  // namespace sim
