/* queue.c - d418.sys's request queue and its cancellation; see queue.h. */
#include "queue.h"

#include "requests.h"

/* The queued requests, linked through Tail.Overlay.ListEntry, oldest
   first; the running request; and whether the queue is closed. All three
   are guarded by the cancel spin lock, which the I/O manager also holds
   while it calls a cancel routine. */
static LIST_ENTRY queued;
static PIRP running;
static BOOLEAN closed;

static KEVENT cancel_signal;
static KEVENT work_signal;

static PIO_STACK_LOCATION stack_of(PIRP irp)
{
    return IoGetCurrentIrpStackLocation(irp);
}

static PIRP irp_of(PLIST_ENTRY entry)
{
    return CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
}

static void complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

void D418QueueInit(void)
{
    InitializeListHead(&queued);
    running = NULL;
    closed = FALSE;
    KeInitializeEvent(&cancel_signal, NotificationEvent, FALSE);
    KeInitializeEvent(&work_signal, SynchronizationEvent, FALSE);
}

PKEVENT D418QueueCancelSignal(void)
{
    return &cancel_signal;
}

PKEVENT D418QueueWorkSignal(void)
{
    return &work_signal;
}

/* Called by the I/O manager with the cancel spin lock held, which it
   releases. The pointer to this routine was cleared before the call, so
   the request is ours alone here. */
static VOID NTAPI cancel_request(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    if (irp == running) {
        /* The driver thread completes it once its wait has ended. */
        KeSetEvent(&cancel_signal, IO_NO_INCREMENT, FALSE);
        IoReleaseCancelSpinLock(irp->CancelIrql);
        return;
    }
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    IoReleaseCancelSpinLock(irp->CancelIrql);
    complete(irp, STATUS_CANCELLED, 0);
}

NTSTATUS D418QueueAdd(PIRP irp)
{
    KIRQL irql;

    IoAcquireCancelSpinLock(&irql);
    /* Cancelled before it reached us (its cancel routine was not set yet,
       so no one else completes it), or the driver is being unloaded. */
    if (irp->Cancel || closed) {
        IoReleaseCancelSpinLock(irql);
        complete(irp, STATUS_CANCELLED, 0);
        return STATUS_CANCELLED;
    }
    IoMarkIrpPending(irp);
    InsertTailList(&queued, &irp->Tail.Overlay.ListEntry);
    IoSetCancelRoutine(irp, cancel_request);
    IoReleaseCancelSpinLock(irql);
    KeSetEvent(&work_signal, IO_NO_INCREMENT, FALSE);
    return STATUS_PENDING;
}

/* The oldest queued request, now the running one, or NULL. Its cancel
   routine stays set: from now on it signals the wait instead of dequeuing.
   (A request on the list always has its routine: the I/O manager clears it
   and calls it under the lock we hold, and the routine dequeues.) */
static PIRP take_next(void)
{
    KIRQL irql;
    PIRP irp = NULL;

    IoAcquireCancelSpinLock(&irql);
    if (!IsListEmpty(&queued)) {
        irp = irp_of(RemoveHeadList(&queued));
        KeResetEvent(&cancel_signal);
        running = irp;
    }
    IoReleaseCancelSpinLock(irql);
    return irp;
}

/* Ends the running request. Once its cancel routine is cleared under the
   lock, no cancel can reach it; when the pointer comes back NULL the
   routine has already run, and all it did was set the signal, which the
   request's wait has answered (or which it ended too late to need). Either
   way the request completes with what it did: a reply taken from the board
   is not thrown away. */
static void finish(PIRP irp, NTSTATUS status, ULONG_PTR answered)
{
    KIRQL irql;

    IoAcquireCancelSpinLock(&irql);
    IoSetCancelRoutine(irp, NULL);
    running = NULL;
    IoReleaseCancelSpinLock(irql);
    complete(irp, status, answered);
}

BOOLEAN D418QueueRunNext(void)
{
    PIO_STACK_LOCATION stack;
    uint32_t answered = 0;
    NTSTATUS status;
    PIRP irp = take_next();

    if (!irp)
        return FALSE;
    stack = stack_of(irp);
    status = D418HandleRequest(stack->Parameters.DeviceIoControl.IoControlCode,
                               (uint8_t *)irp->AssociatedIrp.SystemBuffer,
                               stack->Parameters.DeviceIoControl.InputBufferLength,
                               stack->Parameters.DeviceIoControl.OutputBufferLength,
                               &answered);
    finish(irp, status, answered);
    return TRUE;
}

/* Cancels the queued requests of file (every one when file is NULL) and
   the running one if it matches. */
static void cancel_matching(PFILE_OBJECT file)
{
    LIST_ENTRY taken;
    PLIST_ENTRY entry;
    KIRQL irql;

    InitializeListHead(&taken);
    IoAcquireCancelSpinLock(&irql);
    entry = queued.Flink;
    while (entry != &queued) {
        PIRP irp = irp_of(entry);
        entry = entry->Flink;
        if (file && stack_of(irp)->FileObject != file)
            continue;
        IoSetCancelRoutine(irp, NULL);
        RemoveEntryList(&irp->Tail.Overlay.ListEntry);
        InsertTailList(&taken, &irp->Tail.Overlay.ListEntry);
    }
    if (running && (!file || stack_of(running)->FileObject == file))
        KeSetEvent(&cancel_signal, IO_NO_INCREMENT, FALSE);
    IoReleaseCancelSpinLock(irql);

    /* Completed outside the lock. */
    while (!IsListEmpty(&taken))
        complete(irp_of(RemoveHeadList(&taken)), STATUS_CANCELLED, 0);
}

void D418QueueCancelFile(PFILE_OBJECT file)
{
    if (file)
        cancel_matching(file);
}

void D418QueueClose(void)
{
    KIRQL irql;

    IoAcquireCancelSpinLock(&irql);
    closed = TRUE;
    IoReleaseCancelSpinLock(irql);
    cancel_matching(NULL);
    KeSetEvent(&work_signal, IO_NO_INCREMENT, FALSE);
}

BOOLEAN D418QueueFinished(void)
{
    KIRQL irql;
    BOOLEAN finished;

    IoAcquireCancelSpinLock(&irql);
    finished = closed && IsListEmpty(&queued) && running == NULL;
    IoReleaseCancelSpinLock(irql);
    return finished;
}
