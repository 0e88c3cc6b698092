// Port transport: the board's registers driven through byte-wide port I/O,
// used on Windows 95/98/Me.
#pragma once

#include <stdint.h>

// Register offsets from BoardBase; port numbers wrap at 16 bits.
#define PORT_DATA 0
#define PORT_STATUS 1
#define PORT_RESET 3

// Status byte.
#define STATUS_DATA_READY 0x01
#define STATUS_REPLY_WAIT 0x04
#define STATUS_TRANSMIT_BUSY 0x20
#define STATUS_READY_PATTERN 0xEE

#define RESET_POLL_LIMIT 100000
#define TRANSMIT_POLL_LIMIT 100000
#define REPLY_WAIT_INTERVAL_MS 20
// The most payload bytes one reply delivers, as on the driver path.
#define PORT_MAX_PAYLOAD 4092
// PortReadResponse's result when the platform ended the reply wait early;
// never given where PlatformWaitPause always goes on.
#define PORT_WAIT_ENDED (-1)

#ifdef __cplusplus
extern "C" {
#endif

int32_t PortInit(uint32_t base);
int32_t PortTimeout(uint32_t timeout);
// 0, or 4 when the board does not show its ready pattern.
int32_t PortReset(void);
// Resets the board, writes the frame and awaits its transmission: 0, 3
// (transmission did not end) or 4 (board not found).
int32_t PortSendCommand(const uint8_t *frame, int32_t frame_length);
// The reply's status word, 2 (short reply), 3 (timeout) or PORT_WAIT_ENDED;
// *count is 0 after all but the status word.
int32_t PortReadResponse(uint8_t *buffer, int32_t *count);

#ifdef __cplusplus
}
#endif
