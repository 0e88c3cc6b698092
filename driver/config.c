/*
 * config.c - d418.sys's kernel side of its configuration and access
 * control: reads Parameters\IoBase and Parameters\AllowedGroup under the
 * service key at start, claims the board's four ports from the system,
 * releases them at unload, and runs the access check of each open. The
 * checks themselves are in security.c.
 *
 * Every function used here is exported by NT 4.0's ntoskrnl:
 * RtlQueryRegistryValues, IoReportResourceUsage and SeAccessCheck.
 */
#include <ntddk.h>

#include "config.h"
#include "requests.h"
#include "security.h"

/* The Parameters key's path: the service key's, which DriverEntry gets,
   and "\Parameters". */
#define PARAMETERS L"\\Parameters"
#define PATH_MAX_CHARS 320

/* What the configuration read found. */
struct settings {
    ULONG base;
    BOOLEAN malformed;
    BOOLEAN has_group;
    UCHAR group[D418_SID_MAX];
};

static BOOLEAN ports_claimed;

/* Whether the query routine was called for a value that is not there:
   NT does not call it then (the table's default type is REG_NONE), Wine
   calls it with the default, REG_NONE and no data. A value that is there
   always comes with its data. */
static BOOLEAN absent(ULONG type, PVOID data)
{
    return type == REG_NONE && data == NULL;
}

static NTSTATUS NTAPI read_io_base(PWSTR name, ULONG type, PVOID data, ULONG size,
                                   PVOID context, PVOID entry_context)
{
    struct settings *settings = (struct settings *)context;
    uint32_t base;
    (void)name;
    (void)entry_context;
    if (absent(type, data))
        return STATUS_SUCCESS;
    if (D418CheckIoBase(type, data, size, &base))
        settings->base = base;
    else
        settings->malformed = TRUE;
    return STATUS_SUCCESS;
}

static NTSTATUS NTAPI read_allowed_group(PWSTR name, ULONG type, PVOID data, ULONG size,
                                         PVOID context, PVOID entry_context)
{
    struct settings *settings = (struct settings *)context;
    (void)name;
    (void)entry_context;
    if (absent(type, data))
        return STATUS_SUCCESS;
    if (D418CheckAllowedGroup(type, data, size, settings->group))
        settings->has_group = TRUE;
    else
        settings->malformed = TRUE;
    return STATUS_SUCCESS;
}

/* Reads the Parameters values. A missing key or value leaves the default;
   one present but out of range, of another type or malformed sets
   malformed. Values come unexpanded, so that a REG_EXPAND_SZ or
   REG_MULTI_SZ reaches the check with its own type. */
static NTSTATUS read_settings(PUNICODE_STRING service_key, struct settings *settings)
{
    WCHAR path[PATH_MAX_CHARS];
    RTL_QUERY_REGISTRY_TABLE table[3];
    ULONG chars = service_key->Length / sizeof(WCHAR), i;
    const WCHAR *tail = PARAMETERS;
    ULONG tail_chars = sizeof PARAMETERS / sizeof(WCHAR); /* with its NUL */
    NTSTATUS status;

    settings->base = D418_INITIAL_BASE;
    settings->malformed = FALSE;
    settings->has_group = FALSE;
    if (chars + tail_chars > PATH_MAX_CHARS)
        return STATUS_DEVICE_CONFIGURATION_ERROR;
    for (i = 0; i < chars; i++)
        path[i] = service_key->Buffer[i];
    for (i = 0; i < tail_chars; i++)
        path[chars + i] = tail[i];

    RtlZeroMemory(table, sizeof table);
    table[0].QueryRoutine = read_io_base;
    table[0].Flags = RTL_QUERY_REGISTRY_NOEXPAND;
    table[0].Name = L"IoBase";
    table[0].DefaultType = REG_NONE;
    table[1].QueryRoutine = read_allowed_group;
    table[1].Flags = RTL_QUERY_REGISTRY_NOEXPAND;
    table[1].Name = L"AllowedGroup";
    table[1].DefaultType = REG_NONE;

    status = RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, path, table, settings, NULL);
    if (status == STATUS_OBJECT_NAME_NOT_FOUND)
        status = STATUS_SUCCESS;
    if (NT_SUCCESS(status) && settings->malformed)
        status = STATUS_DEVICE_CONFIGURATION_ERROR;
    return status;
}

/* Reports base..base+3 as the driver's (length 4) or no ports (length
   0): the claim and its release. */
static NTSTATUS report_ports(PDRIVER_OBJECT driver, ULONG base, ULONG length,
                             BOOLEAN *conflict)
{
    CM_RESOURCE_LIST list;
    PCM_PARTIAL_RESOURCE_DESCRIPTOR port;

    RtlZeroMemory(&list, sizeof list);
    *conflict = FALSE;
    if (length) {
        list.Count = 1;
        list.List[0].InterfaceType = Isa;
        list.List[0].BusNumber = 0;
        list.List[0].PartialResourceList.Count = 1;
        port = &list.List[0].PartialResourceList.PartialDescriptors[0];
        port->Type = CmResourceTypePort;
        port->ShareDisposition = CmResourceShareDeviceExclusive;
        port->Flags = CM_RESOURCE_PORT_IO;
        port->u.Port.Start.QuadPart = base;
        port->u.Port.Length = length;
    }
    return IoReportResourceUsage(NULL, driver, &list, sizeof list, NULL, NULL, 0, FALSE,
                                 conflict);
}

NTSTATUS D418ConfigStart(PDRIVER_OBJECT driver, PUNICODE_STRING service_key)
{
    struct settings settings;
    BOOLEAN conflict = FALSE;
    NTSTATUS status;

    ports_claimed = FALSE;
    status = read_settings(service_key, &settings);
    if (!NT_SUCCESS(status))
        return status;
    if (!D418AccessConfigure(settings.has_group ? settings.group : NULL))
        return STATUS_DEVICE_CONFIGURATION_ERROR;
    D418RequestsConfigure(settings.base);

    status = report_ports(driver, settings.base, 4, &conflict);
    if (NT_SUCCESS(status) && conflict) {
        /* Another device holds some of the ports: give back whatever the
           report recorded, and do not start. */
        report_ports(driver, 0, 0, &conflict);
        return STATUS_CONFLICTING_ADDRESSES;
    }
    if (status == STATUS_NOT_IMPLEMENTED)
        return STATUS_SUCCESS; /* no resource arbiter on this host (Wine) */
    if (!NT_SUCCESS(status))
        return status;
    ports_claimed = TRUE;
    return STATUS_SUCCESS;
}

void D418ConfigStop(PDRIVER_OBJECT driver)
{
    BOOLEAN conflict;
    if (ports_claimed) {
        report_ports(driver, 0, 0, &conflict);
        ports_claimed = FALSE;
    }
}

NTSTATUS D418AccessOpen(PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    PFILE_OBJECT file = stack->FileObject;
    return D418DecideOpen(file ? file->FileName.Length : 0,
                          file && file->RelatedFileObject != NULL,
                          stack->Parameters.Create.SecurityContext,
                          irp->RequestorMode == UserMode);
}

/* The access rights of a file object, for mapping generic rights. */
static GENERIC_MAPPING file_mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE,
                                       FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};

int D418CallerAllowed(const void *security_context, int user_mode, const uint8_t *descriptor,
                      uint32_t desired)
{
    PIO_SECURITY_CONTEXT context = (PIO_SECURITY_CONTEXT)security_context;
    PPRIVILEGE_SET privileges = NULL;
    ACCESS_MASK granted = 0;
    NTSTATUS status = STATUS_ACCESS_DENIED;

    if (!context->AccessState)
        return 0;
    /* Reading and writing data use no privilege, so none is handed back to
       be freed. */
    return SeAccessCheck((PSECURITY_DESCRIPTOR)descriptor,
                         &context->AccessState->SubjectSecurityContext, FALSE, desired, 0,
                         &privileges, &file_mapping, user_mode ? UserMode : KernelMode,
                         &granted, &status) &&
           NT_SUCCESS(status);
}
