/*
 * d418.c - d418.sys, the D418 board's kernel-mode driver for the NT family
 * (NT 4.0, 2000, XP): a legacy driver, service name d418, that creates
 * \Device\D418 and \DosDevices\D418.
 *
 * Control requests are queued and pended (queue.c); one driver thread runs
 * them in order with requests.c, which drives the board with the library's
 * own port transport. The I/O manager cancels a request through the queue's
 * cancel routine, so a caller's thread exit, process end or CancelIo ends
 * even a long reply wait within one pause. Who may open the device and
 * which ports it drives come from the service key (config.c). This file adds
 * the device, one open handle at a time, the thread, and the order of start
 * and unload.
 */
#include <ntddk.h>

#include "config.h"
#include "platform_ntkernel.h"
#include "queue.h"
#include "requests.h"

#define DEVICE_NAME L"\\Device\\D418"
#define LINK_NAME L"\\DosDevices\\D418"

/* Marks the file object of the one accepted open (FsContext2). */
#define HANDLE_ACCEPTED ((PVOID)(ULONG_PTR)0xD418A11Cu)
/* Marks a file object whose open was refused because the caller may not
   use the device (as opposed to the device being held). */
#define HANDLE_DENIED ((PVOID)(ULONG_PTR)0xD418DE11u)

static PDEVICE_OBJECT board_device;
static BOOLEAN link_made;
/* 1 while a handle is open on the device. */
static LONG device_open;
/* The driver thread, referenced so that unload can wait for its end. */
static PVOID request_thread;

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static BOOLEAN accepted(PFILE_OBJECT file)
{
    return file != NULL && file->FsContext2 == HANDLE_ACCEPTED;
}

/* The status a handle that was not accepted gets for every request: the
   one its open was refused with. */
static NTSTATUS refusal(PFILE_OBJECT file)
{
    if (file != NULL && file->FsContext2 == HANDLE_DENIED)
        return STATUS_ACCESS_DENIED;
    return STATUS_SHARING_VIOLATION;
}

/* Only the callers allowed (config.c), and one open handle at a time: an
   open while another stands is refused, so that no other program reaches
   the board while one uses it. A refused caller never holds the slot. */
static NTSTATUS NTAPI dispatch_create(PDEVICE_OBJECT device, PIRP irp)
{
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    NTSTATUS status = D418AccessOpen(irp);
    (void)device;
    if (!NT_SUCCESS(status)) {
        if (file)
            file->FsContext2 = HANDLE_DENIED;
        return complete(irp, status, 0);
    }
    if (InterlockedExchange(&device_open, 1) != 0)
        return complete(irp, STATUS_SHARING_VIOLATION, 0);
    D418RequestsReset();
    if (file)
        file->FsContext2 = HANDLE_ACCEPTED;
    return complete(irp, STATUS_SUCCESS, 0);
}

/* The accepted handle's end: its requests are cancelled and the device is
   free again. Only the accepted file object frees it, and only once. (Some
   hosts still hand out and later close a handle whose open was refused.) */
static void release_file(PFILE_OBJECT file)
{
    if (!accepted(file))
        return;
    D418QueueCancelFile(file);
    file->FsContext2 = NULL;
    InterlockedExchange(&device_open, 0);
}

/* The last handle to the file object is closed: free the device now, not
   when the last reference goes. */
static NTSTATUS NTAPI dispatch_cleanup(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    release_file(IoGetCurrentIrpStackLocation(irp)->FileObject);
    return complete(irp, STATUS_SUCCESS, 0);
}

/* Normally a no-op after the cleanup request; a host that sends no cleanup
   request (Wine) frees the device here. */
static NTSTATUS NTAPI dispatch_close(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    release_file(IoGetCurrentIrpStackLocation(irp)->FileObject);
    return complete(irp, STATUS_SUCCESS, 0);
}

/* Threads sharing the one handle are answered one after the other: each
   request waits its turn on the queue, so the board's register sequences
   never interleave. */
static NTSTATUS NTAPI dispatch_ioctl(PDEVICE_OBJECT device, PIRP irp)
{
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    (void)device;
    /* A handle whose open was refused reaches nothing. */
    if (!accepted(file))
        return complete(irp, refusal(file), 0);
    return D418QueueAdd(irp);
}

/* The driver thread: runs the queued requests until the queue is closed
   and empty. */
static VOID NTAPI run_requests(PVOID context)
{
    (void)context;
    for (;;) {
        KeWaitForSingleObject(D418QueueWorkSignal(), Executive, KernelMode, FALSE, NULL);
        while (D418QueueRunNext())
            ;
        if (D418QueueFinished())
            break;
    }
    PsTerminateSystemThread(STATUS_SUCCESS);
}

static NTSTATUS start_thread(void)
{
    HANDLE handle;
    NTSTATUS status = PsCreateSystemThread(&handle, THREAD_ALL_ACCESS, NULL, NULL, NULL,
                                           run_requests, NULL);
    if (!NT_SUCCESS(status))
        return status;
    /* The reference lets unload wait for the thread's end; the handle
       itself is not needed after it. */
    status = ObReferenceObjectByHandle(handle, THREAD_ALL_ACCESS, NULL, KernelMode,
                                       &request_thread, NULL);
    ZwClose(handle);
    if (!NT_SUCCESS(status)) {
        /* (Not expected for a handle just made in kernel mode.) The thread
           is told to end all the same. */
        request_thread = NULL;
        D418QueueClose();
    }
    return status;
}

/* Cancels whatever is queued or running, tells the thread to end and waits
   until it has. */
static void stop_thread(void)
{
    D418QueueClose();
    if (request_thread) {
        KeWaitForSingleObject(request_thread, Executive, KernelMode, FALSE, NULL);
        ObDereferenceObject(request_thread);
        request_thread = NULL;
    }
}

static void remove_device(void)
{
    UNICODE_STRING link;
    if (link_made) {
        RtlInitUnicodeString(&link, LINK_NAME);
        IoDeleteSymbolicLink(&link);
        link_made = FALSE;
    }
    if (board_device) {
        IoDeleteDevice(board_device);
        board_device = NULL;
    }
}

static VOID NTAPI driver_unload(PDRIVER_OBJECT driver)
{
    stop_thread();
    remove_device();
    D418ConfigStop(driver);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path)
{
    UNICODE_STRING name, link;
    NTSTATUS status;

    status = D418ConfigStart(driver, registry_path);
    if (!NT_SUCCESS(status))
        return status;
    D418QueueInit();
    KernelPlatformSetCancelSignal(D418QueueCancelSignal());
    device_open = 0;
    request_thread = NULL;

    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_create;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_cleanup;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_ioctl;
    driver->DriverUnload = driver_unload;

    status = start_thread();
    if (!NT_SUCCESS(status)) {
        D418ConfigStop(driver);
        return status;
    }

    RtlInitUnicodeString(&name, DEVICE_NAME);
    status = IoCreateDevice(driver, 0, &name, D418_DEVICE_TYPE, FILE_DEVICE_SECURE_OPEN, FALSE,
                            &board_device);
    if (!NT_SUCCESS(status)) {
        board_device = NULL;
        stop_thread();
        D418ConfigStop(driver);
        return status;
    }
    board_device->Flags |= DO_BUFFERED_IO;

    RtlInitUnicodeString(&link, LINK_NAME);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        stop_thread();
        remove_device();
        D418ConfigStop(driver);
        return status;
    }
    link_made = TRUE;
    board_device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
