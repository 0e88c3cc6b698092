// The library's state. Every process has its own copy of these, except
// InUseFlag, which lives in the section that all processes share.
#pragma once

#include <stdint.h>

#include "platform.h"

#ifdef __cplusplus
extern "C" {
#endif

// I/O port of the board's first register (port path).
extern uint16_t BoardBase;
// Reply timeout in hundredths of a second (port path).
extern uint32_t ReplyTimeout;
// The driver's device, open while a load on the NT family stands.
extern PlatformHandle DeviceHandle;
// 1 while some process holds the library, shared by all processes.
extern volatile uint8_t InUseFlag;

// The family test made by every operation: nonzero on the NT family, whose
// GetVersion result has the high bit clear.
int IsNtFamily(void);

#ifdef __cplusplus
}
#endif
