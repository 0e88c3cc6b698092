#include "host_platform.h"

#include "platform.h"
#include "sim_platform.h"

namespace drvtest {
uint64_t end_wait_after = 0;
}

// Each pause is recorded as a Sleep of the simulated platform.
int PlatformWaitPause(uint32_t milliseconds) {
    PlatformSleep(milliseconds);
    return !(drvtest::end_wait_after != 0 && sim::P().sleeps >= drvtest::end_wait_after);
}
