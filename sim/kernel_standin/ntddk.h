/*
 * ntddk.h (stand-in) - the few kernel types and calls that d418.sys's
 * request queue (driver/queue.c) and its platform's reply wait
 * (lib/platform_ntkernel.c) use, for host tests that compile those files
 * unchanged. Same names and meanings as the DDK's; the calls are
 * implemented in sim/kernel_standin.c, single-threaded:
 *
 *   - the cancel spin lock is a flag; taking it twice, releasing it when
 *     not held, waiting or completing a request while it is held each count
 *     as a misuse (StandinMisuses);
 *   - IoCompleteRequest records the request, its status and count
 *     (StandinCompleted); a request completed with a cancel routine still
 *     set, or twice, is a misuse as well;
 *   - KeWaitForSingleObject with a timeout is one pause: it records a
 *     Sleep of the simulated platform, calls StandinOnWait (where a test
 *     cancels, as another thread would), then answers STATUS_SUCCESS when
 *     the event is set and STATUS_TIMEOUT otherwise;
 *   - IoCancelIrp does what the I/O manager does: sets Cancel, clears the
 *     cancel routine under the lock and calls it.
 */
#ifndef D418_KERNEL_STANDIN_NTDDK_H
#define D418_KERNEL_STANDIN_NTDDK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define NTAPI
#define VOID void
typedef void *PVOID;
typedef unsigned char UCHAR, BOOLEAN, KIRQL, *PKIRQL;
typedef char CCHAR;
typedef int32_t LONG, NTSTATUS;
typedef uint32_t ULONG;
typedef int64_t LONGLONG;
typedef uintptr_t ULONG_PTR;

#define TRUE 1
#define FALSE 0

#define STATUS_SUCCESS ((NTSTATUS)0x00000000)
#define STATUS_TIMEOUT ((NTSTATUS)0x00000102)
#define STATUS_PENDING ((NTSTATUS)0x00000103)
#define STATUS_CANCELLED ((NTSTATUS)0xC0000120)
#define NT_SUCCESS(status) ((NTSTATUS)(status) >= 0)

typedef union _LARGE_INTEGER {
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef struct _LIST_ENTRY {
    struct _LIST_ENTRY *Flink;
    struct _LIST_ENTRY *Blink;
} LIST_ENTRY, *PLIST_ENTRY;

#define CONTAINING_RECORD(address, type, field) \
    ((type *)((char *)(address) - offsetof(type, field)))

static inline void InitializeListHead(PLIST_ENTRY head) { head->Flink = head->Blink = head; }
static inline BOOLEAN IsListEmpty(const LIST_ENTRY *head) { return head->Flink == head; }
static inline void InsertTailList(PLIST_ENTRY head, PLIST_ENTRY entry)
{
    entry->Flink = head;
    entry->Blink = head->Blink;
    head->Blink->Flink = entry;
    head->Blink = entry;
}
static inline BOOLEAN RemoveEntryList(PLIST_ENTRY entry)
{
    entry->Blink->Flink = entry->Flink;
    entry->Flink->Blink = entry->Blink;
    return entry->Flink == entry->Blink;
}
static inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY head)
{
    PLIST_ENTRY entry = head->Flink;
    RemoveEntryList(entry);
    return entry;
}

typedef enum _EVENT_TYPE { NotificationEvent, SynchronizationEvent } EVENT_TYPE;
typedef enum _KWAIT_REASON { Executive } KWAIT_REASON;
typedef enum _MODE { KernelMode, UserMode } KPROCESSOR_MODE;

typedef struct _KEVENT {
    EVENT_TYPE type;
    LONG signalled;
} KEVENT, *PKEVENT;

typedef struct _FILE_OBJECT {
    PVOID FsContext2;
} FILE_OBJECT, *PFILE_OBJECT;

typedef struct _DEVICE_OBJECT DEVICE_OBJECT, *PDEVICE_OBJECT;

#define SL_PENDING_RETURNED 0x01

typedef struct _IO_STACK_LOCATION {
    UCHAR MajorFunction;
    UCHAR Control;
    PFILE_OBJECT FileObject;
    union {
        struct {
            ULONG OutputBufferLength;
            ULONG InputBufferLength;
            ULONG IoControlCode;
        } DeviceIoControl;
    } Parameters;
} IO_STACK_LOCATION, *PIO_STACK_LOCATION;

struct _IRP;
typedef VOID NTAPI DRIVER_CANCEL(PDEVICE_OBJECT device, struct _IRP *irp);
typedef DRIVER_CANCEL *PDRIVER_CANCEL;

typedef struct _IO_STATUS_BLOCK {
    NTSTATUS Status;
    ULONG_PTR Information;
} IO_STATUS_BLOCK;

/* One stack location, the request's own. */
typedef struct _IRP {
    IO_STATUS_BLOCK IoStatus;
    BOOLEAN Cancel;
    KIRQL CancelIrql;
    PDRIVER_CANCEL CancelRoutine;
    union {
        PVOID SystemBuffer;
    } AssociatedIrp;
    union {
        struct {
            LIST_ENTRY ListEntry;
        } Overlay;
    } Tail;
    IO_STACK_LOCATION Stack;
} IRP, *PIRP;

#define IO_NO_INCREMENT 0

static inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) { return &irp->Stack; }
static inline void IoMarkIrpPending(PIRP irp) { irp->Stack.Control |= SL_PENDING_RETURNED; }

void IoAcquireCancelSpinLock(PKIRQL irql);
void IoReleaseCancelSpinLock(KIRQL irql);
PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine);
BOOLEAN IoCancelIrp(PIRP irp);
void IoCompleteRequest(PIRP irp, CCHAR boost);

void KeInitializeEvent(PKEVENT event, EVENT_TYPE type, BOOLEAN state);
LONG KeSetEvent(PKEVENT event, LONG increment, BOOLEAN wait);
LONG KeResetEvent(PKEVENT event);
NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON reason, KPROCESSOR_MODE mode,
                               BOOLEAN alertable, PLARGE_INTEGER timeout);
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE mode, BOOLEAN alertable,
                                PLARGE_INTEGER interval);

/* ---- what the tests see ---- */

struct StandinCompletion {
    PIRP irp;
    NTSTATUS status;
    ULONG_PTR information;
    BOOLEAN pending; /* the request was marked pending */
};

#define STANDIN_MAX_COMPLETIONS 64
extern struct StandinCompletion StandinCompleted[STANDIN_MAX_COMPLETIONS];
extern int StandinCompletedCount;
/* Misuses of the lock, the events and completion (see above). */
extern int StandinMisuses;
/* Waits with a timeout so far (the pauses). */
extern int StandinWaits;
/* Called at each pause, before its outcome is decided; may be null. */
extern void (*StandinOnWait)(int pause);

/* Forgets the completions, misuses and pauses, and the hook. */
void StandinReset(void);

#ifdef __cplusplus
}
#endif

#endif
