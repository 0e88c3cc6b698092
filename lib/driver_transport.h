// Driver transport: one synchronous control request to the board's driver
// per operation, used on the NT family.
#pragma once

#include <stdint.h>

// CTL_CODE(0xD418, function, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_D418_READ_RESPONSE 0xD4182400u
#define IOCTL_D418_SEND_COMMAND 0xD4182404u
#define IOCTL_D418_TIMEOUT 0xD4182408u
#define IOCTL_D418_INIT 0xD418240Cu
#define IOCTL_D418_RESET 0xD4182414u

// The reply area of one read request: header and at most 4092 payload bytes.
#define DRIVER_REPLY_SIZE 4096
#define DRIVER_ACK_SIZE 4

int32_t DriverInit(uint32_t base);
int32_t DriverTimeout(uint32_t timeout);
int32_t DriverReset(void);
// Sends the frame in one request and releases it (PlatformFree) as soon as
// the request returns, before its outcome is looked at.
int32_t DriverSendCommand(uint8_t *frame, int32_t frame_length);
int32_t DriverReadResponse(uint8_t *buffer, int32_t *count);
