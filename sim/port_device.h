#pragma once

#include <cstdint>

namespace sim {

// The other side of the port instructions: whatever answers the library's
// port reads and takes its port writes.
struct PortDevice {
    virtual ~PortDevice() = default;
    virtual uint8_t In(uint16_t port) = 0;
    virtual void Out(uint16_t port, uint8_t value) = 0;
};

}  // namespace sim
