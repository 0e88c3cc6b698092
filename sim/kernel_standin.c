/* kernel_standin.c - the kernel calls of the host stand-in; see
   sim/kernel_standin/ntddk.h. */
#include <ntddk.h>

#include "platform.h"

struct StandinCompletion StandinCompleted[STANDIN_MAX_COMPLETIONS];
int StandinCompletedCount;
int StandinMisuses;
int StandinWaits;
void (*StandinOnWait)(int pause);

static BOOLEAN lock_held;

void StandinReset(void)
{
    StandinCompletedCount = 0;
    StandinMisuses = 0;
    StandinWaits = 0;
    StandinOnWait = NULL;
    lock_held = FALSE;
}

void IoAcquireCancelSpinLock(PKIRQL irql)
{
    if (lock_held)
        StandinMisuses++;
    lock_held = TRUE;
    *irql = 0;
}

void IoReleaseCancelSpinLock(KIRQL irql)
{
    (void)irql;
    if (!lock_held)
        StandinMisuses++;
    lock_held = FALSE;
}

PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine)
{
    PDRIVER_CANCEL old = irp->CancelRoutine;
    irp->CancelRoutine = routine;
    return old;
}

BOOLEAN IoCancelIrp(PIRP irp)
{
    KIRQL irql;
    PDRIVER_CANCEL routine;
    IoAcquireCancelSpinLock(&irql);
    irp->Cancel = TRUE;
    routine = IoSetCancelRoutine(irp, NULL);
    if (!routine) {
        IoReleaseCancelSpinLock(irql);
        return FALSE;
    }
    irp->CancelIrql = irql;
    routine(NULL, irp); /* releases the lock */
    if (lock_held)
        StandinMisuses++;
    return TRUE;
}

void IoCompleteRequest(PIRP irp, CCHAR boost)
{
    int i;
    (void)boost;
    if (lock_held || irp->CancelRoutine)
        StandinMisuses++;
    for (i = 0; i < StandinCompletedCount; i++)
        if (StandinCompleted[i].irp == irp)
            StandinMisuses++;
    if (StandinCompletedCount < STANDIN_MAX_COMPLETIONS) {
        struct StandinCompletion *c = &StandinCompleted[StandinCompletedCount++];
        c->irp = irp;
        c->status = irp->IoStatus.Status;
        c->information = irp->IoStatus.Information;
        c->pending = (irp->Stack.Control & SL_PENDING_RETURNED) != 0;
    }
}

void KeInitializeEvent(PKEVENT event, EVENT_TYPE type, BOOLEAN state)
{
    event->type = type;
    event->signalled = state;
}

LONG KeSetEvent(PKEVENT event, LONG increment, BOOLEAN wait)
{
    LONG old = event->signalled;
    (void)increment;
    (void)wait;
    event->signalled = 1;
    return old;
}

LONG KeResetEvent(PKEVENT event)
{
    LONG old = event->signalled;
    event->signalled = 0;
    return old;
}

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON reason, KPROCESSOR_MODE mode,
                               BOOLEAN alertable, PLARGE_INTEGER timeout)
{
    PKEVENT event = (PKEVENT)object;
    (void)reason;
    /* The request's wait is in kernel mode and not alertable. */
    if (lock_held || mode != KernelMode || alertable)
        StandinMisuses++;
    if (timeout) {
        StandinWaits++;
        PlatformSleep((uint32_t)(-timeout->QuadPart / 10000));
        if (StandinOnWait)
            StandinOnWait(StandinWaits);
    }
    if (!event->signalled)
        return STATUS_TIMEOUT;
    if (event->type == SynchronizationEvent)
        event->signalled = 0;
    return STATUS_SUCCESS;
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE mode, BOOLEAN alertable,
                                PLARGE_INTEGER interval)
{
    (void)mode;
    (void)alertable;
    PlatformSleep((uint32_t)(-interval->QuadPart / 10000));
    return STATUS_SUCCESS;
}
