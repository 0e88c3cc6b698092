/*
 * d418.c - d418.sys, the D418 board's kernel-mode driver for the NT family
 * (NT 4.0, 2000, XP): a legacy driver, service name d418, that creates
 * \Device\D418 and \DosDevices\D418 and completes every request before its
 * dispatch routine returns.
 *
 * The requests themselves are handled in requests.c, which drives the board
 * with the library's own port transport. This file adds what only a kernel
 * has: the device, one open handle at a time, and one request at a time.
 */
#include <ntddk.h>

#include "config.h"
#include "platform_ntkernel.h"
#include "requests.h"
#ifdef D418_SIMULATED_BOARD
#include "simulated_board.h"
#endif

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
/* 1 while a request drives the board. */
static LONG request_running;

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

static NTSTATUS NTAPI dispatch_close(PDEVICE_OBJECT device, PIRP irp)
{
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    (void)device;
    /* Only the accepted handle's close frees the device. (Some hosts still
       hand out and later close a handle whose open was refused.) */
    if (accepted(file)) {
        file->FsContext2 = NULL;
        InterlockedExchange(&device_open, 0);
    }
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI dispatch_cleanup(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI dispatch_ioctl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    uint32_t answered = 0;
    NTSTATUS status;
    (void)device;

    /* A handle whose open was refused reaches nothing. */
    if (!accepted(stack->FileObject))
        return complete(irp, refusal(stack->FileObject), 0);
    /* Threads sharing the one handle take turns; the board's register
       sequences must not interleave. */
    if (InterlockedExchange(&request_running, 1) != 0)
        return complete(irp, STATUS_DEVICE_BUSY, 0);

    KernelPlatformSetRequest(irp);
    status = D418HandleRequest(stack->Parameters.DeviceIoControl.IoControlCode,
                               (uint8_t *)irp->AssociatedIrp.SystemBuffer,
                               stack->Parameters.DeviceIoControl.InputBufferLength,
                               stack->Parameters.DeviceIoControl.OutputBufferLength,
                               &answered);
    KernelPlatformSetRequest(NULL);
    InterlockedExchange(&request_running, 0);
    return complete(irp, status, answered);
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
#ifdef D418_SIMULATED_BOARD
    SimulatedBoardStart();
#endif
    device_open = 0;
    request_running = 0;

    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_create;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_cleanup;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_ioctl;
    driver->DriverUnload = driver_unload;

    RtlInitUnicodeString(&name, DEVICE_NAME);
    status = IoCreateDevice(driver, 0, &name, D418_DEVICE_TYPE, FILE_DEVICE_SECURE_OPEN, FALSE,
                            &board_device);
    if (!NT_SUCCESS(status)) {
        board_device = NULL;
        D418ConfigStop(driver);
        return status;
    }
    board_device->Flags |= DO_BUFFERED_IO;

    RtlInitUnicodeString(&link, LINK_NAME);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        remove_device();
        D418ConfigStop(driver);
        return status;
    }
    link_made = TRUE;
    board_device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
