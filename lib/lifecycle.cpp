#include "lifecycle.h"

#include "library_state.h"
#include "platform.h"

// Whether this process set InUseFlag and so holds the library. Only the
// process that set the flag ever clears it.
static int SetTheFlag = 0;

#define OPEN_EXISTING_DISPOSITION 3

int LoadStep(void) {
    // A flag that reads as held (any value but 0) is left as it is.
    if (__atomic_load_n(&InUseFlag, __ATOMIC_SEQ_CST) != 0) return 0;
    // Claim it with one atomic exchange (xchg, which every x86 down to the
    // 386 has), so that two processes loading at the same moment cannot both
    // find it free. The one that finds a 1 has lost the race; writing 1 over
    // that 1 changed nothing.
    if (__atomic_exchange_n(&InUseFlag, (uint8_t)1, __ATOMIC_SEQ_CST) != 0)
        return 0;
    SetTheFlag = 1;
    if (!IsNtFamily()) return 1;
    DeviceHandle = PlatformCreateFile(DEVICE_NAME, 0, 0,
                                      OPEN_EXISTING_DISPOSITION, 0);
    if (DeviceHandle == PLATFORM_INVALID_HANDLE) {
        // Nobody holds the library after this refusal: give the flag back,
        // or every later process would be locked out.
        __atomic_store_n(&InUseFlag, (uint8_t)0, __ATOMIC_SEQ_CST);
        SetTheFlag = 0;
        return 0;
    }
    return 1;
}

int UnloadStep(void) {
    if (SetTheFlag) {
        __atomic_store_n(&InUseFlag, (uint8_t)0, __ATOMIC_SEQ_CST);
        SetTheFlag = 0;
    }
    if (!IsNtFamily()) return 1;
    return PlatformCloseHandle(DeviceHandle) ? 1 : 0;
}

int HoldsInUseFlag(void) { return SetTheFlag; }

int LoadEntry(uint32_t reason) {
    switch (reason) {
    case LOAD_PROCESS_ATTACH:
        return LoadStep();
    case LOAD_PROCESS_DETACH:
        // The run time also reports a detach after a refused load; the
        // unload step belongs only to a process whose load was accepted.
        if (!SetTheFlag) return 1;
        return UnloadStep();
    default:
        return 1;
    }
}
