// Frame codec: the command frame the library sends and the status word of
// the replies and acknowledgements it gets back.
#pragma once

#include <stdint.h>

// Bytes before the payload in a command frame: 0x0001, w1, w2.
#define FRAME_HEADER_SIZE 6
// Bytes of the header that begins every reply; bytes 2-3 are the status word.
#define REPLY_HEADER_SIZE 4

#ifdef __cplusplus
extern "C" {
#endif

// The size of the frame for a payload of length bytes, in *size. Returns 0
// when length is negative or length + 6 does not fit in a signed 32-bit
// integer, 1 otherwise.
int CommandFrameSize(int32_t length, int32_t *size);

// Writes the command frame for (w2, w1, payload, length) into frame, which
// has room for length + 6 bytes. Only the low 16 bits of w1 and w2 count;
// w1 goes first. payload is not read when length is 0.
void BuildCommandFrame(uint8_t *frame, int32_t w2, int32_t w1,
                       const uint8_t *payload, int32_t length);

// Bytes 2-3 of a reply header or acknowledgement, little endian, unsigned.
uint16_t DecodeStatusWord(const uint8_t *header);

#ifdef __cplusplus
}
#endif
