// A simulated D418 board: the board's side of the register protocol.
//
//   base+0  read: next reply byte          write: next frame byte
//   base+1  read: status byte              write: 0 starts the transmission
//   base+3                                 write: 0 resets the board
//
// After a reset the status reads show not_ready_status until read number
// ready_on_read (counted from the reset) shows 0xEE; 0 means never. Writing
// 0 to the status port ends the frame: the next busy_reads status reads show
// TransmitBusy, then the transmission is over and, if reply_after_send is
// set, the scripted reply is pending. A pending reply shows ReplyWait for
// wait_reads status reads, then DataReady while reply bytes remain (or
// forever with endless_reply). A board that is not present (or addressed at
// another base) reads 0xFF everywhere and ignores writes.
//
// The board itself is the C board model (board_model.h), which the driver's
// test build carries too; this class gives it the script and the record of
// frames that the C++ tests use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "board_model.h"
#include "port_device.h"

namespace sim {

struct BoardScript {
    uint16_t base = 0x300;
    bool present = true;
    long ready_on_read = 1;
    uint8_t not_ready_status = 0x00;
    long busy_reads = 0;
    long wait_reads = 0;
    bool reply_pending = false;    // a reply waits from the start
    bool reply_after_send = true;  // each transmitted frame arms the reply
    bool echo_payload = false;     // the reply is 00 00 00 00 + the frame's payload
    std::vector<uint8_t> reply;    // header and payload
    bool endless_reply = false;    // DataReady never clears after the reply
};

class Board : public PortDevice {
public:
    explicit Board(BoardScript script = {});
    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;

    BoardScript script;
    // What the board has taken: every frame transmitted, and counts.
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> current_frame;
    long resets = 0;

private:
    BoardModel model_;
};

}  // namespace sim
