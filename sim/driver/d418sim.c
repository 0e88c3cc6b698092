/*
 * d418sim.c - a kernel-mode driver that simulates the D418 board.
 *
 * It answers the board driver's control codes on \Device\D418 from a small
 * model of the board (see d418sim_control.h), and offers \Device\D418Sim, a
 * control device through which tests arm one-shot answers, move the board,
 * and read back what the board device was asked and how many handles are
 * open on it.
 *
 * All state lives in static storage and is guarded by one spin lock; every
 * request is completed at once, so nothing is ever pending.
 */
#include <ntddk.h>

#include "d418sim_control.h"

#define BOARD_DEVICE_NAME L"\\Device\\D418"
#define BOARD_LINK_NAME L"\\DosDevices\\D418"
#define CONTROL_DEVICE_NAME L"\\Device\\D418Sim"
#define CONTROL_LINK_NAME L"\\DosDevices\\D418Sim"

struct armed_answer {
    uint32_t code;
    int32_t status;
    uint32_t length;
    uint8_t data[D418SIM_SCRIPT_MAX_DATA];
};

static KSPIN_LOCK state_lock;
static PDEVICE_OBJECT board_device;
static PDEVICE_OBJECT control_device;
static BOOLEAN board_link_made;
static BOOLEAN control_link_made;

/* The board model. */
static uint32_t model_base;
static uint32_t model_timeout;
static uint32_t model_board;
static BOOLEAN reply_pending;
static uint32_t reply_length;
static uint8_t reply_payload[D418SIM_MAX_PAYLOAD];

/* Armed answers, oldest first. */
static struct armed_answer script_queue[D418SIM_SCRIPT_SLOTS];
static uint32_t script_count;

/* What the board device has been asked. */
static struct D418SIM_LAST last_request;
static struct D418SIM_COUNTS counts;
static struct D418SIM_OPEN_POLICY open_policy;

static void reset_model_locked(void)
{
    model_base = D418SIM_DEFAULT_BASE;
    model_timeout = D418SIM_DEFAULT_TIMEOUT;
    model_board = D418SIM_DEFAULT_BOARD;
    reply_pending = FALSE;
    reply_length = 0;
    script_count = 0;
    RtlZeroMemory(&last_request, sizeof last_request);
    counts.requests = 0;
    open_policy.status = 0;
    open_policy.exclusive = 0;
}

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static void put_u16(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)(v & 0xFF);
    p[1] = (uint8_t)((v >> 8) & 0xFF);
}

static uint32_t get_u32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
           ((uint32_t)p[3] << 24);
}

/* Writes a 4-byte ack carrying `status_word`; fails when the caller's
   output buffer cannot hold it. */
static NTSTATUS write_ack(uint8_t *buffer, ULONG out_len, uint32_t status_word,
                          ULONG_PTR *information)
{
    if (out_len < D418SIM_HEADER_SIZE) {
        *information = 0;
        return STATUS_BUFFER_TOO_SMALL;
    }
    buffer[0] = 0;
    buffer[1] = 0;
    put_u16(buffer + 2, status_word);
    *information = D418SIM_HEADER_SIZE;
    return STATUS_SUCCESS;
}

/* Takes the oldest armed answer for `code` off the queue into `out`.
   Called with the lock held. */
static BOOLEAN take_armed_answer_locked(uint32_t code, struct armed_answer *out)
{
    uint32_t i;
    for (i = 0; i < script_count; i++) {
        if (script_queue[i].code == D418SIM_ANY_CODE || script_queue[i].code == code) {
            RtlCopyMemory(out, &script_queue[i], sizeof *out);
            for (; i + 1 < script_count; i++)
                RtlCopyMemory(&script_queue[i], &script_queue[i + 1], sizeof script_queue[i]);
            script_count--;
            return TRUE;
        }
    }
    return FALSE;
}

/* Answers one board request from the model. Called with the lock held. */
static NTSTATUS board_model_locked(uint32_t code, uint8_t *buffer, ULONG in_len,
                                   ULONG out_len, ULONG_PTR *information)
{
    *information = 0;
    switch (code) {
    case D418SIM_BOARD_INIT:
        if (in_len < 4)
            return STATUS_INVALID_PARAMETER;
        model_base = get_u32(buffer);
        return STATUS_SUCCESS;

    case D418SIM_BOARD_TIMEOUT:
        if (in_len < 4)
            return STATUS_INVALID_PARAMETER;
        model_timeout = get_u32(buffer);
        return STATUS_SUCCESS;

    case D418SIM_BOARD_RESET:
        return write_ack(buffer, out_len,
                         model_base == model_board ? 0 : D418SIM_STATUS_NOT_FOUND,
                         information);

    case D418SIM_BOARD_SEND_COMMAND:
        if (in_len < D418SIM_FRAME_HEADER_SIZE)
            return STATUS_INVALID_PARAMETER;
        if (model_base != model_board)
            return write_ack(buffer, out_len, D418SIM_STATUS_NOT_FOUND, information);
        if (out_len < D418SIM_HEADER_SIZE)
            return STATUS_BUFFER_TOO_SMALL;
        reply_length = in_len - D418SIM_FRAME_HEADER_SIZE;
        if (reply_length > D418SIM_MAX_PAYLOAD)
            reply_length = D418SIM_MAX_PAYLOAD;
        RtlCopyMemory(reply_payload, buffer + D418SIM_FRAME_HEADER_SIZE, reply_length);
        reply_pending = TRUE;
        return write_ack(buffer, out_len, 0, information);

    case D418SIM_BOARD_READ_RESPONSE: {
        uint32_t n;
        if (!reply_pending)
            return STATUS_IO_TIMEOUT;
        if (out_len < D418SIM_HEADER_SIZE)
            return STATUS_BUFFER_TOO_SMALL;
        n = reply_length;
        if (n > out_len - D418SIM_HEADER_SIZE)
            n = out_len - D418SIM_HEADER_SIZE;
        write_ack(buffer, out_len, 0, information);
        RtlCopyMemory(buffer + D418SIM_HEADER_SIZE, reply_payload, n);
        *information = D418SIM_HEADER_SIZE + n;
        reply_pending = FALSE;
        reply_length = 0;
        return STATUS_SUCCESS;
    }

    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

static NTSTATUS refused_status(PFILE_OBJECT file);

/* Kept out of the lock-holding path's stack: one armed answer is 4 KiB. */
static struct armed_answer served_answer;

static NTSTATUS board_ioctl(PIRP irp, PIO_STACK_LOCATION stack)
{
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in_len = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_len = stack->Parameters.DeviceIoControl.OutputBufferLength;
    uint8_t *buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR information = 0;
    NTSTATUS status, refusal;
    BOOLEAN scripted;
    KIRQL irql;
    uint32_t keep;

    if (!buffer) {
        /* Without a system buffer there is nothing to read or write. */
        in_len = 0;
        out_len = 0;
    }

    KeAcquireSpinLock(&state_lock, &irql);

    /* Record the request before answering: the answer overwrites the
       buffer that holds the input. */
    counts.requests++;
    last_request.requests = counts.requests;
    last_request.code = code;
    last_request.input_length = stack->Parameters.DeviceIoControl.InputBufferLength;
    last_request.output_length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    keep = in_len < D418SIM_LAST_MAX_INPUT ? in_len : D418SIM_LAST_MAX_INPUT;
    if (keep)
        RtlCopyMemory(last_request.input, buffer, keep);
    last_request.captured = keep;

    refusal = refused_status(stack->FileObject);
    scripted = FALSE;
    if (!NT_SUCCESS(refusal)) {
        status = refusal;
    } else if ((scripted = take_armed_answer_locked(code, &served_answer))) {
        uint32_t n = served_answer.length < out_len ? served_answer.length : out_len;
        if (n)
            RtlCopyMemory(buffer, served_answer.data, n);
        status = served_answer.status;
        information = n;
    } else {
        status = board_model_locked(code, buffer, in_len, out_len, &information);
    }

    last_request.status = status;
    last_request.information = (uint32_t)information;
    last_request.scripted = scripted ? 1 : 0;

    KeReleaseSpinLock(&state_lock, irql);
    return complete(irp, status, information);
}

/* Copies a reply struct into the caller's output buffer, up to its length. */
static NTSTATUS reply_struct(PIRP irp, ULONG out_len, const void *data, ULONG size)
{
    ULONG n = out_len < size ? out_len : size;
    if (n)
        RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, data, n);
    return complete(irp, STATUS_SUCCESS, n);
}

static struct D418SIM_LAST last_copy;

static NTSTATUS control_ioctl(PIRP irp, PIO_STACK_LOCATION stack)
{
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in_len = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_len = stack->Parameters.DeviceIoControl.OutputBufferLength;
    uint8_t *buffer = irp->AssociatedIrp.SystemBuffer;
    NTSTATUS status = STATUS_SUCCESS;
    KIRQL irql;

    if (!buffer) {
        in_len = 0;
        out_len = 0;
    }

    switch (code) {
    case D418SIM_IOCTL_RESET:
        KeAcquireSpinLock(&state_lock, &irql);
        reset_model_locked();
        KeReleaseSpinLock(&state_lock, irql);
        return complete(irp, STATUS_SUCCESS, 0);

    case D418SIM_IOCTL_SET_BOARD:
        if (in_len < 4)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        KeAcquireSpinLock(&state_lock, &irql);
        model_board = get_u32(buffer);
        KeReleaseSpinLock(&state_lock, irql);
        return complete(irp, STATUS_SUCCESS, 0);

    case D418SIM_IOCTL_SCRIPT: {
        uint32_t length;
        struct armed_answer *slot;
        if (in_len < D418SIM_SCRIPT_HEADER_SIZE)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        length = get_u32(buffer + 8);
        if (length > D418SIM_SCRIPT_MAX_DATA || in_len < D418SIM_SCRIPT_HEADER_SIZE + length)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        KeAcquireSpinLock(&state_lock, &irql);
        if (script_count >= D418SIM_SCRIPT_SLOTS) {
            status = STATUS_INSUFFICIENT_RESOURCES;
        } else {
            slot = &script_queue[script_count++];
            slot->code = get_u32(buffer);
            slot->status = (int32_t)get_u32(buffer + 4);
            slot->length = length;
            if (length)
                RtlCopyMemory(slot->data, buffer + D418SIM_SCRIPT_HEADER_SIZE, length);
        }
        KeReleaseSpinLock(&state_lock, irql);
        return complete(irp, status, 0);
    }

    case D418SIM_IOCTL_LAST:
        KeAcquireSpinLock(&state_lock, &irql);
        RtlCopyMemory(&last_copy, &last_request, sizeof last_copy);
        KeReleaseSpinLock(&state_lock, irql);
        return reply_struct(irp, out_len, &last_copy, sizeof last_copy);

    case D418SIM_IOCTL_COUNTS: {
        struct D418SIM_COUNTS c;
        KeAcquireSpinLock(&state_lock, &irql);
        c = counts;
        KeReleaseSpinLock(&state_lock, irql);
        return reply_struct(irp, out_len, &c, sizeof c);
    }

    case D418SIM_IOCTL_STATE: {
        struct D418SIM_STATE s;
        KeAcquireSpinLock(&state_lock, &irql);
        s.base = model_base;
        s.timeout = model_timeout;
        s.board = model_board;
        s.pending = reply_pending ? 1 : 0;
        s.pending_length = reply_length;
        s.scripts = script_count;
        s.open_status = open_policy.status;
        s.exclusive = open_policy.exclusive;
        KeReleaseSpinLock(&state_lock, irql);
        return reply_struct(irp, out_len, &s, sizeof s);
    }

    case D418SIM_IOCTL_SET_OPEN:
        if (in_len < sizeof(struct D418SIM_OPEN_POLICY))
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        KeAcquireSpinLock(&state_lock, &irql);
        open_policy.status = (int32_t)get_u32(buffer);
        open_policy.exclusive = get_u32(buffer + 4);
        KeReleaseSpinLock(&state_lock, irql);
        return complete(irp, STATUS_SUCCESS, 0);

    default:
        return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

/* Handles on the board device are marked through their file object's
   FsContext2: accepted ones count as open; refused ones carry the status
   their open was refused with. Wine hands the caller a handle even when
   the create request fails, so requests on a refused handle fail with that
   status too, which is where a caller under Wine sees the refusal. */
#define HANDLE_ACCEPTED ((PVOID)(ULONG_PTR)0xD418A11Cu)

static NTSTATUS refused_status(PFILE_OBJECT file)
{
    if (!file || file->FsContext2 == HANDLE_ACCEPTED || file->FsContext == NULL)
        return STATUS_SUCCESS;
    return (NTSTATUS)(ULONG_PTR)file->FsContext;
}

static NTSTATUS dispatch_create(PDEVICE_OBJECT device, PIRP irp)
{
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    NTSTATUS status = STATUS_SUCCESS;
    KIRQL irql;

    if (device != board_device)
        return complete(irp, STATUS_SUCCESS, 0);

    KeAcquireSpinLock(&state_lock, &irql);
    if (open_policy.status != 0)
        status = open_policy.status;
    else if (open_policy.exclusive && counts.open > 0)
        status = STATUS_ACCESS_DENIED;
    if (NT_SUCCESS(status)) {
        counts.creates++;
        counts.open++;
    } else {
        counts.refused++;
    }
    KeReleaseSpinLock(&state_lock, irql);
    if (file) {
        file->FsContext2 = NT_SUCCESS(status) ? HANDLE_ACCEPTED : NULL;
        file->FsContext = NT_SUCCESS(status) ? NULL : (PVOID)(ULONG_PTR)(uint32_t)status;
    }
    return complete(irp, status, 0);
}

static NTSTATUS dispatch_close(PDEVICE_OBJECT device, PIRP irp)
{
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    KIRQL irql;

    if (device == board_device && (!file || file->FsContext2 == HANDLE_ACCEPTED)) {
        KeAcquireSpinLock(&state_lock, &irql);
        counts.closes++;
        if (counts.open > 0)
            counts.open--;
        KeReleaseSpinLock(&state_lock, irql);
    }
    if (file) {
        file->FsContext = NULL;
        file->FsContext2 = NULL;
    }
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS dispatch_cleanup(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS dispatch_ioctl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (device == board_device)
        return board_ioctl(irp, stack);
    return control_ioctl(irp, stack);
}

static void remove_devices(void)
{
    UNICODE_STRING name;

    if (control_link_made) {
        RtlInitUnicodeString(&name, CONTROL_LINK_NAME);
        IoDeleteSymbolicLink(&name);
        control_link_made = FALSE;
    }
    if (board_link_made) {
        RtlInitUnicodeString(&name, BOARD_LINK_NAME);
        IoDeleteSymbolicLink(&name);
        board_link_made = FALSE;
    }
    if (control_device) {
        IoDeleteDevice(control_device);
        control_device = NULL;
    }
    if (board_device) {
        IoDeleteDevice(board_device);
        board_device = NULL;
    }
}

static void driver_unload(PDRIVER_OBJECT driver)
{
    (void)driver;
    remove_devices();
}

/* Creates a named device and its DOS link. */
static NTSTATUS make_device(PDRIVER_OBJECT driver, const WCHAR *device_name,
                            const WCHAR *link_name, ULONG type, PDEVICE_OBJECT *device,
                            BOOLEAN *link_made)
{
    UNICODE_STRING name, link;
    NTSTATUS status;

    RtlInitUnicodeString(&name, device_name);
    status = IoCreateDevice(driver, 0, &name, type, 0, FALSE, device);
    if (!NT_SUCCESS(status))
        return status;
    (*device)->Flags |= DO_BUFFERED_IO;

    RtlInitUnicodeString(&link, link_name);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status))
        return status;
    *link_made = TRUE;
    (*device)->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path)
{
    NTSTATUS status;
    (void)registry_path;

    KeInitializeSpinLock(&state_lock);
    reset_model_locked();
    RtlZeroMemory(&counts, sizeof counts);

    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_create;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_cleanup;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_ioctl;
    driver->DriverUnload = driver_unload;

    status = make_device(driver, BOARD_DEVICE_NAME, BOARD_LINK_NAME,
                         D418SIM_BOARD_DEVICE_TYPE, &board_device, &board_link_made);
    if (NT_SUCCESS(status))
        status = make_device(driver, CONTROL_DEVICE_NAME, CONTROL_LINK_NAME,
                             D418SIM_CONTROL_DEVICE_TYPE, &control_device,
                             &control_link_made);
    if (!NT_SUCCESS(status))
        remove_devices();
    return status;
}
