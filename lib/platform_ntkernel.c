/*
 * platform_ntkernel.c - the platform of the board's kernel driver (NT 4.0
 * and later): port access through the HAL and the reply wait's pause
 * through KeDelayExecutionThread, ending early for a request that is
 * cancelled or whose thread is ending.
 *
 * Built twice: as is for d418.sys, and with D418_SIMULATED_BOARD for the
 * test build, whose two port functions reach a simulated board inside the
 * driver instead of the bus. Nothing else differs.
 */
#include <ntddk.h>

#include "platform.h"
#include "platform_ntkernel.h"

#ifndef PLATFORM_WAIT_CAN_END
#error "the kernel platform ends reply waits early: build with PLATFORM_WAIT_CAN_END"
#endif

static PIRP current_request;

void KernelPlatformSetRequest(PIRP irp)
{
    current_request = irp;
}

#ifdef D418_SIMULATED_BOARD

#include "simulated_board.h"

uint8_t PlatformPortIn(uint16_t port)
{
    return BoardModelIn(&KernelSimulatedBoard, port);
}

void PlatformPortOut(uint16_t port, uint8_t value)
{
    BoardModelOut(&KernelSimulatedBoard, port, value);
}

#else

uint8_t PlatformPortIn(uint16_t port)
{
    return READ_PORT_UCHAR((PUCHAR)(ULONG_PTR)port);
}

void PlatformPortOut(uint16_t port, uint8_t value)
{
    WRITE_PORT_UCHAR((PUCHAR)(ULONG_PTR)port, value);
}

#endif

/* Whether the request's thread has ended: its thread object is signalled.
   (Where the request runs on its caller's thread, as on Windows, the thread
   learns of its end through the alertable pause instead.) */
static BOOLEAN thread_ended(PIRP irp)
{
    LARGE_INTEGER now;
    PETHREAD thread = irp->Tail.Overlay.Thread;
    if (!thread)
        return FALSE;
    now.QuadPart = 0;
    return KeWaitForSingleObject(thread, Executive, KernelMode, FALSE, &now) ==
           STATUS_SUCCESS;
}

int PlatformWaitPause(uint32_t milliseconds)
{
    LARGE_INTEGER interval;
    NTSTATUS status;

    /* Relative, in units of 100 ns. An alertable wait in the caller's mode
       ends when the thread is told to end (a user APC or an alert). */
    interval.QuadPart = -(LONGLONG)(milliseconds * 10000u);
    status = KeDelayExecutionThread(UserMode, TRUE, &interval);
    if (status == STATUS_USER_APC || status == STATUS_ALERTED)
        return 0;
    if (current_request &&
        (current_request->Cancel || thread_ended(current_request)))
        return 0;
    return 1;
}
