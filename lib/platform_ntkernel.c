/*
 * platform_ntkernel.c - the platform of the board's kernel driver (NT 4.0
 * and later): the reply wait's pause, which ends early when the running
 * request is cancelled.
 *
 * The port functions are the one link-time choice of the driver's builds:
 * platform_ntkernel_ports.c (the HAL's port access) in d418.sys, a
 * simulated board in its test build.
 */
#include <ntddk.h>

#include "platform.h"
#include "platform_ntkernel.h"

#ifndef PLATFORM_WAIT_CAN_END
#error "the kernel platform ends reply waits early: build with PLATFORM_WAIT_CAN_END"
#endif

static PKEVENT cancel_signal;

void KernelPlatformSetCancelSignal(PKEVENT signal)
{
    cancel_signal = signal;
}

int PlatformWaitPause(uint32_t milliseconds)
{
    LARGE_INTEGER interval;

    /* Relative, in units of 100 ns. The wait is in kernel mode and not
       alertable: nothing but the cancel signal ends it early (an APC queued
       to the caller's thread has no say here). */
    interval.QuadPart = -(LONGLONG)milliseconds * 10000;
    if (!cancel_signal) {
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
        return 1;
    }
    return KeWaitForSingleObject(cancel_signal, Executive, KernelMode, FALSE, &interval) !=
           STATUS_SUCCESS;
}
