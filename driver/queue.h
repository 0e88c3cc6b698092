/*
 * queue.h - d418.sys's request queue: control requests wait their turn on
 * it, pended, and the driver thread runs them one at a time, oldest first.
 * The I/O manager cancels them through a cancel routine: a queued request
 * leaves the queue and completes with STATUS_CANCELLED; for the running one
 * the routine sets the cancel signal, which ends its reply wait at the next
 * pause (the request then ends as the protocol ends a wait cut short).
 *
 * Uses only what NT 4.0 exports: the list is guarded by the I/O manager's
 * cancel spin lock, the way NT's own serial driver keeps its queues.
 */
#ifndef D418_DRIVER_QUEUE_H
#define D418_DRIVER_QUEUE_H

#include <ntddk.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the queue up empty and open (DriverEntry, before any request). */
void D418QueueInit(void);

/* Set when the running request is cancelled; its reply wait watches it. */
PKEVENT D418QueueCancelSignal(void);

/* Set when a request is queued or the queue is closed; the driver thread
   waits on it (a synchronization event: one wait takes one setting). */
PKEVENT D418QueueWorkSignal(void);

/* Queues a control request and returns STATUS_PENDING. A request already
   cancelled, or one that comes after D418QueueClose, is completed at once
   with STATUS_CANCELLED, which is returned. */
NTSTATUS D418QueueAdd(PIRP irp);

/* The driver thread's step: takes the oldest queued request, handles it
   (requests.c) and completes it. FALSE when the queue was empty. */
BOOLEAN D418QueueRunNext(void);

/* Completes with STATUS_CANCELLED every queued request of file, and
   cancels the running request if it is file's (for the last handle's
   cleanup). */
void D418QueueCancelFile(PFILE_OBJECT file);

/* Closes the queue for unload: every queued request completes with
   STATUS_CANCELLED, the running one is cancelled, later ones are refused,
   and the work signal is set. */
void D418QueueClose(void);

/* Whether the queue is closed and empty: the driver thread may end. */
BOOLEAN D418QueueFinished(void);

#ifdef __cplusplus
}
#endif

#endif
