#include "frame.h"

#include <string.h>

int CommandFrameSize(int32_t length, int32_t *size) {
    if (length < 0 || length > INT32_MAX - FRAME_HEADER_SIZE) return 0;
    *size = length + FRAME_HEADER_SIZE;
    return 1;
}

void BuildCommandFrame(uint8_t *frame, int32_t w2, int32_t w1,
                       const uint8_t *payload, int32_t length) {
    frame[0] = 0x01;
    frame[1] = 0x00;
    frame[2] = (uint8_t)(w1 & 0xFF);
    frame[3] = (uint8_t)((w1 & 0xFF00) >> 8);
    frame[4] = (uint8_t)(w2 & 0xFF);
    frame[5] = (uint8_t)((w2 & 0xFF00) >> 8);
    if (length > 0) memcpy(frame + FRAME_HEADER_SIZE, payload, (size_t)length);
}

uint16_t DecodeStatusWord(const uint8_t *header) {
    return (uint16_t)(header[2] + 256u * header[3]);
}
