// Load lifecycle: one process at a time holds the library, and on the NT
// family it holds the driver's device open while it does.
#pragma once

#include <stdint.h>

#define LOAD_PROCESS_DETACH 0
#define LOAD_PROCESS_ATTACH 1
#define LOAD_THREAD_ATTACH 2
#define LOAD_THREAD_DETACH 3

// The driver's device: backslash, backslash, full stop, backslash, D418.
#define DEVICE_NAME "\\\\.\\D418"

// The load entry's work for one notification: 1 (TRUE) or 0 (FALSE).
int LoadEntry(uint32_t reason);

// The load and unload steps. A refused load leaves this process without
// the flag and without a device.
int LoadStep(void);
int UnloadStep(void);

// Whether this process holds the flag (per process).
int HoldsInUseFlag(void);
