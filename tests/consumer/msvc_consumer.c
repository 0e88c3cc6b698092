/* Calls the five exports through d418lib.lib, the Microsoft-format import
   library, built with the Microsoft ABI and no C runtime. The entry point's
   return value is the exit status: 0 when every check holds, otherwise one
   bit per failed check. Against the simulated driver, which echoes a
   command's payload as the next reply. */
#include "d418lib.h"

static const uint8_t payload[2] = {0xAA, 0xBB};
static uint8_t buffer[D418_MAX_PAYLOAD];

int consumer_entry(void) {
    int32_t count = -1;
    int failures = 0;
    if (D418Init(0x300) != 0) failures |= 1 << 0;
    if (D418Timeout(200) != 0) failures |= 1 << 1;
    if (D418Reset() != 0) failures |= 1 << 2;
    if (D418SendCommand(0x0304, 0x0102, payload, 2) != 0) failures |= 1 << 3;
    if (D418ReadResponse(buffer, &count) != 0) failures |= 1 << 4;
    if (count != 2) failures |= 1 << 5;
    if (buffer[0] != 0xAA || buffer[1] != 0xBB) failures |= 1 << 6;
    return failures;
}
