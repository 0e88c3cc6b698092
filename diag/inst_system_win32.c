/* d418inst's system calls on Windows. KERNEL32's are imported as usual
   (all of them on Windows 95's list); ADVAPI32's service and security
   functions are bound at run time, so that the program loads on Windows 95,
   whose ADVAPI32.DLL lacks them, and binds them only on the NT family. */
#include <windows.h>

#include "inst_system.h"

typedef SC_HANDLE(WINAPI *OpenSCManagerFn)(LPCSTR, LPCSTR, DWORD);
typedef SC_HANDLE(WINAPI *OpenServiceFn)(SC_HANDLE, LPCSTR, DWORD);
typedef SC_HANDLE(WINAPI *CreateServiceFn)(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD,
                                           LPCSTR, LPCSTR, LPDWORD, LPCSTR, LPCSTR, LPCSTR);
typedef BOOL(WINAPI *ChangeServiceConfigFn)(SC_HANDLE, DWORD, DWORD, DWORD, LPCSTR, LPCSTR,
                                            LPDWORD, LPCSTR, LPCSTR, LPCSTR, LPCSTR);
typedef BOOL(WINAPI *StartServiceFn)(SC_HANDLE, DWORD, LPCSTR *);
typedef BOOL(WINAPI *ControlServiceFn)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
typedef BOOL(WINAPI *QueryServiceStatusFn)(SC_HANDLE, LPSERVICE_STATUS);
typedef BOOL(WINAPI *QueryServiceConfigFn)(SC_HANDLE, LPQUERY_SERVICE_CONFIGA, DWORD, LPDWORD);
typedef BOOL(WINAPI *DeleteServiceFn)(SC_HANDLE);
typedef BOOL(WINAPI *CloseServiceHandleFn)(SC_HANDLE);
typedef LONG(WINAPI *RegCreateKeyExFn)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM,
                                       LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
typedef LONG(WINAPI *RegOpenKeyExFn)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
typedef LONG(WINAPI *RegSetValueExFn)(HKEY, LPCSTR, DWORD, DWORD, const BYTE *, DWORD);
typedef LONG(WINAPI *RegQueryValueExFn)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI *RegDeleteValueFn)(HKEY, LPCSTR);
typedef LONG(WINAPI *RegDeleteKeyFn)(HKEY, LPCSTR);
typedef LONG(WINAPI *RegCloseKeyFn)(HKEY);
typedef BOOL(WINAPI *LookupAccountNameFn)(LPCSTR, LPCSTR, PSID, LPDWORD, LPSTR, LPDWORD,
                                          PSID_NAME_USE);

static struct {
    OpenSCManagerFn OpenSCManagerA;
    OpenServiceFn OpenServiceA;
    CreateServiceFn CreateServiceA;
    ChangeServiceConfigFn ChangeServiceConfigA;
    StartServiceFn StartServiceA;
    ControlServiceFn ControlService;
    QueryServiceStatusFn QueryServiceStatus;
    QueryServiceConfigFn QueryServiceConfigA;
    DeleteServiceFn DeleteService;
    CloseServiceHandleFn CloseServiceHandle;
    RegCreateKeyExFn RegCreateKeyExA;
    RegOpenKeyExFn RegOpenKeyExA;
    RegSetValueExFn RegSetValueExA;
    RegQueryValueExFn RegQueryValueExA;
    RegDeleteValueFn RegDeleteValueA;
    RegDeleteKeyFn RegDeleteKeyA;
    RegCloseKeyFn RegCloseKey;
    LookupAccountNameFn LookupAccountNameA;
} Advapi;

/* Each entry point's name, in the order of the structure's members. */
static const char *const AdvapiNames[] = {
    "OpenSCManagerA",   "OpenServiceA",     "CreateServiceA",     "ChangeServiceConfigA",
    "StartServiceA",    "ControlService",   "QueryServiceStatus", "QueryServiceConfigA",
    "DeleteService",    "CloseServiceHandle", "RegCreateKeyExA",  "RegOpenKeyExA",
    "RegSetValueExA",   "RegQueryValueExA", "RegDeleteValueA",    "RegDeleteKeyA",
    "RegCloseKey",      "LookupAccountNameA"};

/* The last error, or a stand-in when a call failed without setting one. */
static uint32_t LastError(void) {
    DWORD error = GetLastError();
    return error ? (uint32_t)error : ERROR_GEN_FAILURE;
}

int InstIsNtFamily(void) { return (GetVersion() & 0x80000000u) == 0; }

uint32_t InstBindAdvapi(const char **failed_call, const char **missing) {
    HMODULE advapi = LoadLibraryA("advapi32.dll");
    FARPROC *slot = (FARPROC *)&Advapi;
    unsigned i;
    *missing = NULL;
    if (!advapi) {
        *failed_call = "LoadLibraryA";
        return LastError();
    }
    for (i = 0; i < sizeof AdvapiNames / sizeof AdvapiNames[0]; i++) {
        slot[i] = GetProcAddress(advapi, AdvapiNames[i]);
        if (!slot[i]) {
            *failed_call = "GetProcAddress";
            *missing = AdvapiNames[i];
            return LastError();
        }
    }
    return 0;
}

uint32_t InstGetProgramPath(char *path, size_t size) {
    DWORD length = GetModuleFileNameA(NULL, path, (DWORD)size);
    if (length == 0) return LastError();
    if (length >= size) return ERROR_INSUFFICIENT_BUFFER;
    return 0;
}

uint32_t InstGetSystemDirectory(char *path, size_t size) {
    UINT length = GetSystemDirectoryA(path, (UINT)size);
    if (length == 0) return LastError();
    if (length >= size) return ERROR_INSUFFICIENT_BUFFER;
    return 0;
}

uint32_t InstFileExists(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_FILE_NOT_FOUND;
    return 0;
}

uint32_t InstCopyFile(const char *from, const char *to) {
    return CopyFileA(from, to, FALSE) ? 0 : LastError();
}

uint32_t InstDeleteFile(const char *path) { return DeleteFileA(path) ? 0 : LastError(); }

uint32_t InstOpenSCManager(int full, InstHandle *manager) {
    SC_HANDLE handle =
        Advapi.OpenSCManagerA(NULL, NULL, full ? SC_MANAGER_ALL_ACCESS : SC_MANAGER_CONNECT);
    *manager = handle;
    return handle ? 0 : LastError();
}

uint32_t InstOpenService(InstHandle manager, const char *name, int full, InstHandle *service) {
    SC_HANDLE handle =
        Advapi.OpenServiceA((SC_HANDLE)manager, name,
                            full ? SERVICE_ALL_ACCESS : SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
    *service = handle;
    return handle ? 0 : LastError();
}

uint32_t InstCreateService(InstHandle manager, const char *name, const char *display_name,
                           uint32_t start_type, const char *image_path, InstHandle *service) {
    SC_HANDLE handle = Advapi.CreateServiceA(
        (SC_HANDLE)manager, name, display_name, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
        start_type, SERVICE_ERROR_NORMAL, image_path, NULL, NULL, NULL, NULL, NULL);
    *service = handle;
    return handle ? 0 : LastError();
}

uint32_t InstChangeServiceConfig(InstHandle service, const char *display_name,
                                 uint32_t start_type, const char *image_path) {
    /* The group, dependencies and account stay as they are. */
    return Advapi.ChangeServiceConfigA((SC_HANDLE)service, SERVICE_KERNEL_DRIVER, start_type,
                                       SERVICE_ERROR_NORMAL, image_path, NULL, NULL, NULL, NULL,
                                       NULL, display_name)
               ? 0
               : LastError();
}

uint32_t InstQueryServiceStatus(InstHandle service, uint32_t *state) {
    SERVICE_STATUS status;
    if (!Advapi.QueryServiceStatus((SC_HANDLE)service, &status)) return LastError();
    *state = status.dwCurrentState;
    return 0;
}

uint32_t InstQueryServiceConfig(InstHandle service, uint32_t *start_type) {
    /* The structure and its strings; 8 KB is the most the call gives. */
    static union {
        QUERY_SERVICE_CONFIGA config;
        char bytes[8192];
    } buffer;
    DWORD needed = 0;
    if (!Advapi.QueryServiceConfigA((SC_HANDLE)service, &buffer.config, sizeof buffer, &needed))
        return LastError();
    *start_type = buffer.config.dwStartType;
    return 0;
}

uint32_t InstStopService(InstHandle service) {
    SERVICE_STATUS status;
    return Advapi.ControlService((SC_HANDLE)service, SERVICE_CONTROL_STOP, &status) ? 0
                                                                                    : LastError();
}

uint32_t InstStartService(InstHandle service) {
    return Advapi.StartServiceA((SC_HANDLE)service, 0, NULL) ? 0 : LastError();
}

uint32_t InstDeleteService(InstHandle service) {
    return Advapi.DeleteService((SC_HANDLE)service) ? 0 : LastError();
}

void InstCloseServiceHandle(InstHandle handle) { Advapi.CloseServiceHandle((SC_HANDLE)handle); }

uint32_t InstRegCreateKey(const char *path, InstHandle *key) {
    HKEY handle = NULL;
    DWORD disposition;
    LONG error = Advapi.RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, REG_OPTION_NON_VOLATILE,
                                        KEY_QUERY_VALUE | KEY_SET_VALUE, NULL, &handle,
                                        &disposition);
    *key = handle;
    return (uint32_t)error;
}

uint32_t InstRegOpenKey(const char *path, InstHandle *key) {
    HKEY handle = NULL;
    LONG error = Advapi.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &handle);
    *key = handle;
    return (uint32_t)error;
}

uint32_t InstRegSetDword(InstHandle key, const char *name, uint32_t value) {
    DWORD data = value;
    return (uint32_t)Advapi.RegSetValueExA((HKEY)key, name, 0, REG_DWORD, (const BYTE *)&data,
                                           sizeof data);
}

uint32_t InstRegSetString(InstHandle key, const char *name, const char *value) {
    return (uint32_t)Advapi.RegSetValueExA((HKEY)key, name, 0, REG_SZ, (const BYTE *)value,
                                           (DWORD)lstrlenA(value) + 1);
}

uint32_t InstRegQueryValue(InstHandle key, const char *name, uint32_t *type, void *data,
                           uint32_t *size) {
    DWORD value_type = 0, value_size = *size;
    LONG error = Advapi.RegQueryValueExA((HKEY)key, name, NULL, &value_type, (LPBYTE)data,
                                         &value_size);
    *type = value_type;
    *size = value_size;
    return (uint32_t)error;
}

uint32_t InstRegDeleteValue(InstHandle key, const char *name) {
    return (uint32_t)Advapi.RegDeleteValueA((HKEY)key, name);
}

uint32_t InstRegDeleteKey(const char *path) {
    return (uint32_t)Advapi.RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}

void InstRegCloseKey(InstHandle key) { Advapi.RegCloseKey((HKEY)key); }

uint32_t InstLookupAccountName(const char *name, uint8_t *sid, uint32_t *use) {
    char domain[256];
    DWORD sid_size = INST_MAX_SID, domain_size = sizeof domain;
    SID_NAME_USE sid_use;
    if (!Advapi.LookupAccountNameA(NULL, name, (PSID)sid, &sid_size, domain, &domain_size,
                                   &sid_use))
        return LastError();
    *use = (uint32_t)sid_use;
    return 0;
}

uint32_t InstOpenDevice(const char *name, InstHandle *device) {
    HANDLE handle = CreateFileA(name, 0, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        *device = NULL;
        return LastError();
    }
    *device = handle;
    return 0;
}

uint32_t InstDeviceControl(InstHandle device, uint32_t code) {
    DWORD returned = 0;
    return DeviceIoControl((HANDLE)device, code, NULL, 0, NULL, 0, &returned, NULL) ? 0
                                                                                     : LastError();
}

void InstCloseHandle(InstHandle handle) { CloseHandle((HANDLE)handle); }

void InstSleep(uint32_t milliseconds) { Sleep(milliseconds); }
