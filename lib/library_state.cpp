#include "library_state.h"

uint16_t BoardBase = 0x300;
uint32_t ReplyTimeout = 200;
PlatformHandle DeviceHandle = 0;
// On Windows InUseFlag is the whole of the section .Shared, which every
// process that loads the library shares. The build makes that section from
// a one-byte object (the compiler would pad a section of its own to four
// bytes), so the byte is only defined here for builds without one.
#ifndef _WIN32
volatile uint8_t InUseFlag = 0;
#endif

int IsNtFamily(void) { return PlatformGetVersion() < 0x80000000u; }
