#include "port_transport.h"

#include "frame.h"
#include "library_state.h"
#include "platform.h"

static inline uint16_t Register(unsigned offset) {
    return (uint16_t)(BoardBase + offset);
}

int32_t PortInit(uint32_t base) {
    BoardBase = (uint16_t)(base & 0xFFFF);
    return 0;
}

int32_t PortTimeout(uint32_t timeout) {
    ReplyTimeout = timeout;
    return 0;
}

int32_t PortReset(void) {
    PlatformPortOut(Register(PORT_RESET), 0);
    int32_t reads = 0;
    do {
        reads++;
        if (PlatformPortIn(Register(PORT_STATUS)) == STATUS_READY_PATTERN) break;
    } while (reads < RESET_POLL_LIMIT);
    // The verdict comes from the count alone: the pattern first seen on the
    // last permitted read is still a failure.
    return reads == RESET_POLL_LIMIT ? 4 : 0;
}

int32_t PortSendCommand(const uint8_t *frame, int32_t frame_length) {
    if (PortReset() == 4) return 4;
    const uint16_t data = Register(PORT_DATA);
    const uint16_t status = Register(PORT_STATUS);
    for (int32_t i = 0; i < frame_length; i++) PlatformPortOut(data, frame[i]);
    PlatformPortOut(status, 0);
    int32_t busy = 0;
    while ((PlatformPortIn(status) & STATUS_TRANSMIT_BUSY) != 0 &&
           busy != TRANSMIT_POLL_LIMIT)
        busy++;
    return busy == TRANSMIT_POLL_LIMIT ? 3 : 0;
}

int32_t PortReadResponse(uint8_t *buffer, int32_t *count) {
    const uint16_t data = Register(PORT_DATA);
    const uint16_t status = Register(PORT_STATUS);

    // The wait: at most `limit` pauses. The limit is computed unsigned so
    // that the largest timeout still waits instead of expiring at once.
    const uint32_t limit = ReplyTimeout >> 1;
    uint32_t waits = 0;
    while ((PlatformPortIn(status) & STATUS_REPLY_WAIT) != 0 && waits < limit) {
        waits++;
        if (!PlatformWaitPause(REPLY_WAIT_INTERVAL_MS)) {
            *count = 0;
            return PORT_WAIT_ENDED;
        }
    }
    if (waits == limit) {
        *count = 0;
        return 3;
    }

    uint8_t header[REPLY_HEADER_SIZE];
    int32_t got = 0;
    while ((PlatformPortIn(status) & STATUS_DATA_READY) != 0 &&
           got != REPLY_HEADER_SIZE)
        header[got++] = PlatformPortIn(data);
    if (got < REPLY_HEADER_SIZE) {
        *count = 0;
        return 2;
    }

    // The payload: every byte the board shows ready. The status read after
    // the last byte belongs to every reply, a full-size one included; only a
    // board that still shows DataReady after the most a reply may carry is
    // cut off there, so that it cannot hold the caller or overrun a buffer
    // of that size.
    int32_t stored = 0;
    while ((PlatformPortIn(status) & STATUS_DATA_READY) != 0 &&
           stored != PORT_MAX_PAYLOAD) {
        uint8_t byte = PlatformPortIn(data);
        if (buffer) buffer[stored] = byte;
        stored++;
    }
    *count = stored;
    return DecodeStatusWord(header);
}
