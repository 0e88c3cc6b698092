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

#include "platform_ntkernel.h"
#include "requests.h"
#ifdef D418_SIMULATED_BOARD
#include "simulated_board.h"
#endif

#define DEVICE_NAME L"\\Device\\D418"
#define LINK_NAME L"\\DosDevices\\D418"

/* Marks the file object of the one accepted open (FsContext2). */
#define HANDLE_ACCEPTED ((PVOID)(ULONG_PTR)0xD418A11Cu)

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

/* One open handle at a time: an open while another stands is refused, so
   that no other program reaches the board while one uses it. */
static NTSTATUS NTAPI dispatch_create(PDEVICE_OBJECT device, PIRP irp)
{
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    (void)device;
    if (InterlockedExchange(&device_open, 1) != 0)
        return complete(irp, STATUS_SHARING_VIOLATION, 0);
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
        return complete(irp, STATUS_SHARING_VIOLATION, 0);
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
    (void)driver;
    remove_device();
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path)
{
    UNICODE_STRING name, link;
    NTSTATUS status;
    (void)registry_path;

    D418RequestsReset();
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
    status = IoCreateDevice(driver, 0, &name, D418_DEVICE_TYPE, 0, FALSE, &board_device);
    if (!NT_SUCCESS(status)) {
        board_device = NULL;
        return status;
    }
    board_device->Flags |= DO_BUFFERED_IO;

    RtlInitUnicodeString(&link, LINK_NAME);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        remove_device();
        return status;
    }
    link_made = TRUE;
    board_device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
