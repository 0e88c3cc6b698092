/*
 * requests.h - what d418.sys does with each control request, apart from
 * the kernel: the request's code, its buffer and lengths in, a status and
 * the count of bytes answered out. The board is driven by the library's own
 * port transport (lib/port_transport.cpp) through whatever platform file the
 * build links: the kernel one in the driver, a simulated one in host tests.
 *
 * Requests use METHOD_BUFFERED: one buffer holds the input on entry and
 * takes the output, so its size is the larger of the two lengths.
 */
#ifndef D418_DRIVER_REQUESTS_H
#define D418_DRIVER_REQUESTS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IOCTL_D418_READ_RESPONSE 0xD4182400u
#define IOCTL_D418_SEND_COMMAND 0xD4182404u
#define IOCTL_D418_TIMEOUT 0xD4182408u
#define IOCTL_D418_INIT 0xD418240Cu
#define IOCTL_D418_RESET 0xD4182414u

/* The driver's device type, as in its control codes. */
#define D418_DEVICE_TYPE 0xD418u

/* NT status values the requests end with. */
#define D418_STATUS_SUCCESS 0x00000000
#define D418_STATUS_INVALID_DEVICE_REQUEST ((int32_t)0xC0000010)
#define D418_STATUS_INVALID_PARAMETER ((int32_t)0xC000000D)
#define D418_STATUS_BUFFER_TOO_SMALL ((int32_t)0xC0000023)
#define D418_STATUS_CANCELLED ((int32_t)0xC0000120)
#define D418_STATUS_ACCESS_DENIED ((int32_t)0xC0000022)

/* An acknowledgement, and the most one reply answer holds. */
#define D418_ACK_SIZE 4
#define D418_REPLY_MAX 4096

/* The board's base when the service key names none, and the reply
   timeout every open starts with. */
#define D418_INITIAL_BASE 0x300
#define D418_INITIAL_TIMEOUT 200

/* The one base the driver drives, set from the service key at start: the
   requests reach base+0 to base+3 and no other port. The value's low 16
   bits count. */
void D418RequestsConfigure(uint32_t base);

/* Puts the base back to the configured one and the timeout to its initial
   value before the next request is handled (not at once: a request of the
   previous holder may still be finishing on the driver thread): each
   accepted open starts from these, so nothing one program set reaches the
   next. */
void D418RequestsReset(void);

/*
 * Handles one request. buffer may be null only when both lengths are 0.
 *
 *   INIT, TIMEOUT   4 input bytes, little endian; fewer: INVALID_PARAMETER.
 *                   INIT takes only the configured base (its low 16 bits
 *                   compared); any other: ACCESS_DENIED, no port touched.
 *   RESET           no bytes when the board is ready, else an
 *                   acknowledgement with status word 4.
 *   SEND_COMMAND    the frame (6 bytes at least, else INVALID_PARAMETER);
 *                   no bytes on success, else an acknowledgement with status
 *                   word 3 or 4.
 *   READ_RESPONSE   the reply, header first, at most 4096 bytes; after a
 *                   timeout a 4-byte reply with status word 3; after a header
 *                   cut short no bytes; a wait ended early: CANCELLED.
 *
 * RESET and SEND_COMMAND need an output length of 4 at least, READ_RESPONSE
 * one of 4096 (room for the largest reply); a shorter one ends with
 * BUFFER_TOO_SMALL before the board is touched, so a reply waiting on the
 * board stays there for the next read. Any other code:
 * INVALID_DEVICE_REQUEST. *answered is the count of bytes written to buffer,
 * 0 with every failure.
 */
int32_t D418HandleRequest(uint32_t code, uint8_t *buffer, uint32_t input_length,
                          uint32_t output_length, uint32_t *answered);

#ifdef __cplusplus
}
#endif

#endif
