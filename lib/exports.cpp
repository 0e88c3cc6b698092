// The five exported operations. Each makes the family test afresh and hands
// its work to the port transport (Windows 95/98/Me) or to the driver
// transport (NT family).
#define D418LIB_BUILDING
#include "d418lib.h"

#include "driver_transport.h"
#include "frame.h"
#include "library_state.h"
#include "platform.h"
#include "port_transport.h"

#define ERROR_NOT_ENOUGH_MEMORY_CODE 8
#define ERROR_INVALID_PARAMETER_CODE 87

extern "C" {

D418_RESULT D418_CALL D418Init(uint32_t base) {
    return IsNtFamily() ? DriverInit(base) : PortInit(base);
}

D418_RESULT D418_CALL D418Timeout(uint32_t timeout) {
    return IsNtFamily() ? DriverTimeout(timeout) : PortTimeout(timeout);
}

D418_RESULT D418_CALL D418Reset(void) {
    return IsNtFamily() ? DriverReset() : PortReset();
}

D418_RESULT D418_CALL D418SendCommand(int32_t w2, int32_t w1,
                                      const uint8_t *payload, int32_t length) {
    // The frame is built before the family test, so both transports carry
    // the same bytes. A length that makes no frame is refused outright.
    int32_t size;
    if (!CommandFrameSize(length, &size)) {
        PlatformSetLastError(ERROR_INVALID_PARAMETER_CODE);
        return 1;
    }
    uint8_t *frame = (uint8_t *)PlatformAlloc((size_t)size);
    if (!frame) {
        PlatformSetLastError(ERROR_NOT_ENOUGH_MEMORY_CODE);
        return 1;
    }
    BuildCommandFrame(frame, w2, w1, payload, length);
    if (IsNtFamily()) return DriverSendCommand(frame, size);
    int32_t result = PortSendCommand(frame, size);
    PlatformFree(frame);
    return result;
}

D418_RESULT D418_CALL D418ReadResponse(uint8_t *buffer, int32_t *count) {
    return IsNtFamily() ? DriverReadResponse(buffer, count)
                        : PortReadResponse(buffer, count);
}

}  // extern "C"
