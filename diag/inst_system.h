/* Everything d418inst asks of the operating system, as one narrow set of
   calls. The Windows build links inst_system_win32.c, which makes the real
   Win32 calls (the ADVAPI32 ones bound at run time); host tests link a
   stand-in that keeps services, registry values and files in memory.

   Each function stands for the Win32 call named in its comment and returns
   0 on success or the Win32 error code the call left (GetLastError, or the
   registry functions' own result). Handles are opaque pointers. */
#ifndef D418INST_INST_SYSTEM_H
#define D418INST_INST_SYSTEM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *InstHandle;

/* Win32 values d418inst uses, spelt out so that the logic builds without
   the Windows headers. */
#define INST_ERROR_FILE_NOT_FOUND 2
#define INST_ERROR_ACCESS_DENIED 5
#define INST_ERROR_INVALID_FUNCTION 1
#define INST_ERROR_SHARING_VIOLATION 32
#define INST_ERROR_INVALID_PARAMETER 87
#define INST_ERROR_MORE_DATA 234
#define INST_ERROR_INVALID_ADDRESS 487
#define INST_ERROR_SERVICE_NOT_ACTIVE 1062
#define INST_ERROR_SERVICE_DOES_NOT_EXIST 1060
#define INST_ERROR_SERVICE_MARKED_FOR_DELETE 1072
#define INST_ERROR_NONE_MAPPED 1332
#define INST_ERROR_BAD_CONFIGURATION 1610

#define INST_SERVICE_STOPPED 1
#define INST_SERVICE_START_PENDING 2
#define INST_SERVICE_STOP_PENDING 3
#define INST_SERVICE_RUNNING 4

#define INST_START_AUTO 2
#define INST_START_DEMAND 3
#define INST_START_DISABLED 4

#define INST_REG_SZ 1
#define INST_REG_DWORD 4

/* The SID use LookupAccountNameA reports: groups, aliases (local groups)
   and well-known groups are groups. */
#define INST_SID_USER 1
#define INST_SID_GROUP 2
#define INST_SID_ALIAS 4
#define INST_SID_WELL_KNOWN_GROUP 5

/* The longest binary SID: 8 bytes of header and 15 sub-authorities. */
#define INST_MAX_SID 68

/* GetVersion's high bit: nonzero on the NT family. */
int InstIsNtFamily(void);

/* LoadLibraryA("advapi32.dll") and GetProcAddress of every ADVAPI32
   function below. On failure *failed_call names the failing call
   ("LoadLibraryA", or "GetProcAddress" with *missing the function). */
uint32_t InstBindAdvapi(const char **failed_call, const char **missing);

/* GetModuleFileNameA(NULL, ...): the program's own path. */
uint32_t InstGetProgramPath(char *path, size_t size);
/* GetSystemDirectoryA. */
uint32_t InstGetSystemDirectory(char *path, size_t size);
/* GetFileAttributesA: 0 when PATH names a file (not a folder). */
uint32_t InstFileExists(const char *path);
/* CopyFileA(from, to, FALSE). */
uint32_t InstCopyFile(const char *from, const char *to);
/* DeleteFileA. */
uint32_t InstDeleteFile(const char *path);

/* OpenSCManagerA(NULL, NULL, full ? SC_MANAGER_ALL_ACCESS :
   SC_MANAGER_CONNECT). */
uint32_t InstOpenSCManager(int full, InstHandle *manager);
/* OpenServiceA(manager, name, SERVICE_ALL_ACCESS or, for !full,
   SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS). */
uint32_t InstOpenService(InstHandle manager, const char *name, int full, InstHandle *service);
/* CreateServiceA: a kernel driver with ErrorControl 1 (normal), no group. */
uint32_t InstCreateService(InstHandle manager, const char *name, const char *display_name,
                           uint32_t start_type, const char *image_path, InstHandle *service);
/* ChangeServiceConfigA: the same settings on an existing service. */
uint32_t InstChangeServiceConfig(InstHandle service, const char *display_name,
                                 uint32_t start_type, const char *image_path);
/* QueryServiceStatus: the current state (INST_SERVICE_...). */
uint32_t InstQueryServiceStatus(InstHandle service, uint32_t *state);
/* QueryServiceConfigA: the start type. */
uint32_t InstQueryServiceConfig(InstHandle service, uint32_t *start_type);
/* ControlService(service, SERVICE_CONTROL_STOP, ...). */
uint32_t InstStopService(InstHandle service);
/* StartServiceA(service, 0, NULL). */
uint32_t InstStartService(InstHandle service);
/* DeleteService. */
uint32_t InstDeleteService(InstHandle service);
/* CloseServiceHandle. */
void InstCloseServiceHandle(InstHandle handle);

/* RegCreateKeyExA under HKEY_LOCAL_MACHINE, for reading and writing
   values. */
uint32_t InstRegCreateKey(const char *path, InstHandle *key);
/* RegOpenKeyExA under HKEY_LOCAL_MACHINE, for reading values. */
uint32_t InstRegOpenKey(const char *path, InstHandle *key);
/* RegSetValueExA, REG_DWORD. */
uint32_t InstRegSetDword(InstHandle key, const char *name, uint32_t value);
/* RegSetValueExA, REG_SZ. */
uint32_t InstRegSetString(InstHandle key, const char *name, const char *value);
/* RegQueryValueExA: *type and up to *size bytes of data; *size becomes the
   value's size. */
uint32_t InstRegQueryValue(InstHandle key, const char *name, uint32_t *type, void *data,
                           uint32_t *size);
/* RegDeleteValueA. */
uint32_t InstRegDeleteValue(InstHandle key, const char *name);
/* RegDeleteKeyA under HKEY_LOCAL_MACHINE (a key without subkeys). */
uint32_t InstRegDeleteKey(const char *path);
/* RegCloseKey. */
void InstRegCloseKey(InstHandle key);

/* LookupAccountNameA(NULL, name, ...): the account's binary SID (up to
   INST_MAX_SID bytes) and its use (INST_SID_...). */
uint32_t InstLookupAccountName(const char *name, uint8_t *sid, uint32_t *use);

/* CreateFileA(name, 0, 0, NULL, OPEN_EXISTING, 0, NULL). */
uint32_t InstOpenDevice(const char *name, InstHandle *device);
/* DeviceIoControl(device, code, no buffers). */
uint32_t InstDeviceControl(InstHandle device, uint32_t code);
/* CloseHandle. */
void InstCloseHandle(InstHandle handle);

/* Sleep. */
void InstSleep(uint32_t milliseconds);

#ifdef __cplusplus
}
#endif

#endif /* D418INST_INST_SYSTEM_H */
