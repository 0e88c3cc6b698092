// What the driver's host tests add to the simulated platform: the C board
// model on the simulated bus, and a reply wait that the test can end after a
// given number of pauses, as the kernel ends one for a cancelled request.
#pragma once

#include <cstdint>

#include "board_model.h"
#include "port_device.h"

namespace drvtest {

// The C board model behind the simulated platform's port functions.
class ModelDevice : public sim::PortDevice {
public:
    ModelDevice() { BoardModelDefaultScript(&model.script); }
    uint8_t In(uint16_t port) override { return BoardModelIn(&model, port); }
    void Out(uint16_t port, uint8_t value) override { BoardModelOut(&model, port, value); }
    BoardModel model;
};

// The pause that ends the wait: 0 never, n after the nth pause.
extern uint64_t end_wait_after;

}  // namespace drvtest
