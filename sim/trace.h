// Recorded platform calls and their rendering as text, shared by the
// simulated platform and the port emulator of the Windows tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

enum class Ev {
    GetVersion,
    PortIn,
    PortOut,
    Sleep,
    SetLastError,
    Alloc,
    Free,
    CreateFile,
    CloseHandle,
    Ioctl,
};

struct Event {
    Ev kind;
    uint32_t a;  // port, milliseconds, error code, size, ioctl code
    uint32_t b;  // byte value
};

// Events rendered one per line as text, with runs of one or two repeated
// events (eight events or more) folded into "xN" lines, e.g.
// "in 0301 = 00\n  x99999\n". kinds: which kinds to keep (empty keeps all).
std::string RenderTrace(const std::vector<Event> &events, const std::vector<Ev> &kinds = {});

}  // namespace sim
