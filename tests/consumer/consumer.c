/* A program that uses d418lib the way an SDK user does: the header, the
   import library found through find_package, and d418lib.dll beside it.
   Run against the simulated driver, which echoes a command's payload as the
   next reply. Prints a line per check and "N passed, M failed". */
#include <stdio.h>
#include <string.h>

#include "d418lib.h"

static int passed, failed;

static void check(const char *what, long expected, long got) {
    if (expected == got) {
        passed++;
        printf("ok: %s = %ld\n", what, got);
    } else {
        failed++;
        printf("FAILED: %s: expected %ld, got %ld\n", what, expected, got);
    }
}

int main(void) {
    static const uint8_t payload[] = {0xAA, 0xBB};
    uint8_t buffer[D418_MAX_PAYLOAD];
    int32_t count = -1;

    memset(buffer, 0, sizeof buffer);
    check("D418Init(0x300)", 0, D418Init(0x300));
    check("D418Timeout(200)", 0, D418Timeout(200));
    check("D418Reset()", 0, D418Reset());
    check("D418SendCommand(0x0304, 0x0102, AA BB, 2)", 0,
          D418SendCommand(0x0304, 0x0102, payload, 2));
    check("D418ReadResponse", 0, D418ReadResponse(buffer, &count));
    check("reply count", 2, count);
    check("reply byte 0", 0xAA, buffer[0]);
    check("reply byte 1", 0xBB, buffer[1]);
    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
