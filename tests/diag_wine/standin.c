/* A stand-in d418lib.dll for d418diag's tests: it answers without a board,
   and its .def file decides which of the five entry points it exports.

   D418Init returns 0 for base 0x300 and otherwise the base itself, so that
   the program's line shows which 32 bits arrived ("-300" arrives as
   0xFFFFFD00 and shows as -768). D418Reset returns 261, a status word the
   library passes on unchanged. */
#include <stdint.h>

#define D418LIB_BUILDING
#include "d418lib.h"

D418_RESULT D418_CALL D418Init(uint32_t base) {
    return base == 0x300 ? 0 : (D418_RESULT)base;
}

D418_RESULT D418_CALL D418Timeout(uint32_t timeout) {
    (void)timeout;
    return 0;
}

D418_RESULT D418_CALL D418Reset(void) { return 261; }

D418_RESULT D418_CALL D418SendCommand(int32_t w2, int32_t w1, const uint8_t *payload,
                                      int32_t length) {
    (void)w2;
    (void)w1;
    (void)payload;
    (void)length;
    return 0;
}

D418_RESULT D418_CALL D418ReadResponse(uint8_t *buffer, int32_t *count) {
    (void)buffer;
    *count = 0;
    return 0;
}
