/*
 * d418lib.h - access library for the D418 controller board.
 *
 * The library exports five operations. Each returns a D418_RESULT:
 *
 *   0  D418_OK             success (a status word of 0 from the board reads the same)
 *   1  D418_ERR_SYSTEM     an operating-system request failed; GetLastError()
 *                          on the same thread tells why (NT family only)
 *   2  D418_ERR_SHORT      short reply: fewer than 4 header bytes arrived
 *   3  D418_ERR_TIMEOUT    no reply within the timeout, or a frame's
 *                          transmission did not end (Windows 95/98/Me only)
 *   4  D418_ERR_NOT_FOUND  the board did not show its ready pattern after a
 *                          reset (Windows 95/98/Me only)
 *   any other value        a status word from the board, 0 to 65535, passed
 *                          on unchanged. A status word of 0 reads as success,
 *                          and one of 1 to 5 cannot be told apart from the
 *                          library's own code of the same value.
 *
 * No operation returns a negative value. On Windows 95/98/Me the library
 * drives the board's I/O ports itself; on the NT family every operation is
 * one request to the board's driver on "\\.\D418". Only one process at a
 * time can load the library.
 *
 * Calling order: D418Init, optionally D418Timeout, D418Reset, then any
 * number of exchanges, each one D418SendCommand followed by one
 * D418ReadResponse. The library serialises nothing: make one call at a time.
 *
 * Reply buffers: a reply payload is never longer than 4092 bytes, so a
 * 4092-byte buffer is always enough for D418ReadResponse.
 */
#ifndef D418LIB_H
#define D418LIB_H

#include <stdint.h>

/* The calling convention of the five exports: cdecl on 32-bit x86. */
#if defined(_WIN32) && !defined(_WIN64) && (defined(__GNUC__) || defined(_MSC_VER))
#define D418_CALL __cdecl
#else
#define D418_CALL
#endif

#if defined(_WIN32) && !defined(D418LIB_BUILDING)
#define D418_API __declspec(dllimport)
#else
#define D418_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t D418_RESULT;

#define D418_OK 0
#define D418_ERR_SYSTEM 1
#define D418_ERR_SHORT 2
#define D418_ERR_TIMEOUT 3
#define D418_ERR_NOT_FOUND 4

/* The largest reply payload the library ever delivers. */
#define D418_MAX_PAYLOAD 4092

/* Pointer types of the five exports, for programs that bind the library at
   run time with LoadLibraryA and GetProcAddress. */
typedef D418_RESULT(D418_CALL *D418_INIT_FN)(uint32_t base);
typedef D418_RESULT(D418_CALL *D418_TIMEOUT_FN)(uint32_t timeout);
typedef D418_RESULT(D418_CALL *D418_RESET_FN)(void);
typedef D418_RESULT(D418_CALL *D418_SEND_COMMAND_FN)(int32_t w2, int32_t w1,
                                                     const uint8_t *payload,
                                                     int32_t length);
typedef D418_RESULT(D418_CALL *D418_READ_RESPONSE_FN)(uint8_t *buffer,
                                                      int32_t *count);

/* Define D418LIB_NO_PROTOTYPES to get the types above without the
   declarations below (for a program that offers functions of these names
   itself). */
#ifndef D418LIB_NO_PROTOTYPES

/* Sets the board's I/O base address (initially 0x300). On Windows 95/98/Me
   keeps its low 16 bits and returns 0 without touching the board; on the NT
   family hands all 32 bits to the driver: 0, or 1 if the request failed. */
D418_API D418_RESULT D418_CALL D418Init(uint32_t base);

/* Sets the reply timeout in hundredths of a second (initially 200). Returns
   0, or 1 if the driver refused the request (NT family). */
D418_API D418_RESULT D418_CALL D418Timeout(uint32_t timeout);

/* Resets the board and waits until it is ready. Returns 0; 4 if the board did
   not become ready; on the NT family 1 if the request failed, or the status
   word the driver answered. */
D418_API D418_RESULT D418_CALL D418Reset(void);

/* Sends one command frame: 0x0001, w1, w2 (low 16 bits of each, little
   endian), then length payload bytes. payload may be null when length is 0.
   Returns 0; 3 if the transmission did not end; 4 if the board was not
   found; 1 if a system request failed (GetLastError: 87 for a negative or
   too large length, 8 when the frame's memory cannot be had); on the NT
   family also the status word the driver answered. Note the order: w2
   comes first in the argument list, w1 first in the frame. */
D418_API D418_RESULT D418_CALL D418SendCommand(int32_t w2, int32_t w1,
                                               const uint8_t *payload,
                                               int32_t length);

/* Waits for one reply and reads it. On success the payload goes to buffer
   (dropped if buffer is null), its size to *count, and the result is the
   reply's status word. Returns 3 on timeout and 2 on a short reply (then
   *count is 0 and buffer is untouched); 1 if the driver request failed
   (then *count and buffer are untouched). buffer needs room for at most
   4092 bytes. */
D418_API D418_RESULT D418_CALL D418ReadResponse(uint8_t *buffer, int32_t *count);

#endif /* D418LIB_NO_PROTOTYPES */

#ifdef __cplusplus
}
#endif

#endif /* D418LIB_H */
