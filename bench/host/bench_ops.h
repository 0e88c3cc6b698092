// The operations the host benchmarks time and count: the library's port-path
// send and read, and bare loops that make the same port accesses through the
// same platform functions with nothing else around them.
#pragma once

#include <cstdint>
#include <string>

#include "port_device.h"

namespace bench {

constexpr uint16_t kBase = 0x300;
constexpr int32_t kPayload = 4092;        // the largest payload
constexpr int32_t kFrame = kPayload + 6;  // its command frame

// A board that costs next to nothing: the first status read after a reset
// shows the ready pattern; every other status read shows DataReady only
// (never TransmitBusy or ReplyWait), so a frame is taken at once and a reply
// of any length is always there; data reads give 0, so a reply's status
// word is 0.
class CheapBoard : public sim::PortDevice {
public:
    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;

private:
    bool after_reset_ = false;
};

// Puts the simulated platform on the port path (Windows 98) with a
// CheapBoard at kBase and port recording off.
void UsePortPath();

// One D418SendCommand of kPayload bytes; returns its result.
int32_t LibrarySend();
// The same port accesses: reset write, status read until ready, kFrame data
// writes, status write, one status read.
void BareSend();
// One D418ReadResponse of a kPayload-byte reply; returns its result.
int32_t LibraryRead(int32_t *count);
// The same port accesses as the library's read of a reply that is there at
// once: status read, 4 x (status read, data read), status read, kPayload x
// (status read, data read), status read.
void BareRead();

// Empty when each bare loop makes exactly the port accesses (ports, values,
// order) of its library operation and the operations succeed; otherwise
// what differs. Leaves the port path set up with recording off.
std::string CheckSameAccesses();

// Drops the recorded events (the platform records version, memory and
// last-error calls even with port recording off).
void DropEvents();

}  // namespace bench
