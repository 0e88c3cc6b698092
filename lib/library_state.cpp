#include "library_state.h"

uint16_t BoardBase = 0x300;
uint32_t ReplyTimeout = 200;
PlatformHandle DeviceHandle = 0;
PLATFORM_SHARED_SECTION volatile uint8_t InUseFlag = 0;

int IsNtFamily(void) { return PlatformGetVersion() < 0x80000000u; }
