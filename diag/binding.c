#include "binding.h"

#include <stddef.h>

D418Binding Bound;

D418_RESULT D418_CALL D418Init(uint32_t base) {
    Bound.library = LoaderLoadLibrary(D418_LIBRARY_FILE);
    if (Bound.library == NULL) return D418_ERR_SYSTEM;

    /* Every export is looked up, in this order, whatever an earlier lookup
       gave. */
    Bound.send_command =
        (D418_SEND_COMMAND_FN)LoaderGetProcAddress(Bound.library, "D418SendCommand");
    Bound.read_response =
        (D418_READ_RESPONSE_FN)LoaderGetProcAddress(Bound.library, "D418ReadResponse");
    Bound.reset = (D418_RESET_FN)LoaderGetProcAddress(Bound.library, "D418Reset");
    Bound.init = (D418_INIT_FN)LoaderGetProcAddress(Bound.library, "D418Init");
    Bound.timeout = (D418_TIMEOUT_FN)LoaderGetProcAddress(Bound.library, "D418Timeout");

    if (Bound.send_command == NULL || Bound.read_response == NULL ||
        Bound.reset == NULL || Bound.init == NULL || Bound.timeout == NULL) {
        /* The last error stays as the failed lookup left it: a successful
           FreeLibrary does not change it. */
        LoaderFreeLibrary(Bound.library);
        return D418_ERR_SYSTEM;
    }
    return Bound.init(base);
}

D418_RESULT D418_CALL D418Timeout(uint32_t timeout) { return Bound.timeout(timeout); }

D418_RESULT D418_CALL D418Reset(void) { return Bound.reset(); }

D418_RESULT D418_CALL D418SendCommand(int32_t w2, int32_t w1,
                                      const uint8_t *payload, int32_t length) {
    return Bound.send_command(w2, w1, payload, length);
}

D418_RESULT D418_CALL D418ReadResponse(uint8_t *buffer, int32_t *count) {
    return Bound.read_response(buffer, count);
}
