#include "driver_transport.h"

#include <string.h>

#include "frame.h"
#include "library_state.h"
#include "platform.h"

// Every request is preceded by clearing the last-error value, so that after
// a failure the caller reads the request's own error code.
static int Request(uint32_t code, const void *input, uint32_t input_length,
                   void *output, uint32_t output_length, uint32_t *returned) {
    PlatformSetLastError(0);
    return PlatformDeviceIoControl(DeviceHandle, code, input, input_length,
                                   output, output_length, returned);
}

// An argument travels whole, least significant byte first.
static int32_t SendArgument(uint32_t code, uint32_t value) {
    uint8_t input[4] = {(uint8_t)value, (uint8_t)(value >> 8),
                        (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
    uint32_t returned = 0;
    return Request(code, input, sizeof input, 0, 0, &returned) ? 0 : 1;
}

// An acknowledgement is empty (success) or four bytes carrying a status
// word. One to three bytes cannot carry the status word: a short reply.
static int32_t AckResult(const uint8_t *ack, uint32_t returned) {
    if (returned == 0) return 0;
    if (returned < DRIVER_ACK_SIZE) return 2;
    return DecodeStatusWord(ack);
}

int32_t DriverInit(uint32_t base) { return SendArgument(IOCTL_D418_INIT, base); }

int32_t DriverTimeout(uint32_t timeout) {
    return SendArgument(IOCTL_D418_TIMEOUT, timeout);
}

int32_t DriverReset(void) {
    uint8_t ack[DRIVER_ACK_SIZE];
    uint32_t returned = 0;
    if (!Request(IOCTL_D418_RESET, 0, 0, ack, sizeof ack, &returned)) return 1;
    return AckResult(ack, returned);
}

int32_t DriverSendCommand(uint8_t *frame, int32_t frame_length) {
    uint8_t ack[DRIVER_ACK_SIZE];
    uint32_t returned = 0;
    int ok = Request(IOCTL_D418_SEND_COMMAND, frame, (uint32_t)frame_length,
                     ack, sizeof ack, &returned);
    PlatformFree(frame);
    if (!ok) return 1;
    return AckResult(ack, returned);
}

int32_t DriverReadResponse(uint8_t *buffer, int32_t *count) {
    uint8_t reply[DRIVER_REPLY_SIZE];
    uint32_t returned = 0;
    if (!Request(IOCTL_D418_READ_RESPONSE, 0, 0, reply, sizeof reply, &returned))
        return 1;
    if (returned < REPLY_HEADER_SIZE) {
        *count = 0;
        return 2;
    }
    // A driver that claims more than the area holds is taken at the area's size.
    if (returned > DRIVER_REPLY_SIZE) returned = DRIVER_REPLY_SIZE;
    int32_t payload = (int32_t)(returned - REPLY_HEADER_SIZE);
    if (buffer) memcpy(buffer, reply + REPLY_HEADER_SIZE, (size_t)payload);
    *count = payload;
    return DecodeStatusWord(reply);
}
