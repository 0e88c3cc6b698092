#include "inst_main.h"

#include <stdio.h>
#include <string.h>

#include "inst_parse.h"
#include "inst_system.h"

#define INST_USAGE                                                              \
    "usage: d418inst install [-b BASE] [-g GROUP] [-m auto|demand] [DRIVER]\n" \
    "       d418inst remove\n"                                                  \
    "       d418inst status\n"

#define INST_PATH_SIZE 520
#define INST_SID_TEXT_SIZE 200

static const char NoDriverNeeded[] =
    "Windows 95, 98 and Me reach the D418 board directly and need no driver: nothing to do.\n";

/* ---- Output --------------------------------------------------------------- */

/* One line on stdout, at once. */
static void Say(const char *format, const char *text) {
    printf(format, text);
    fflush(stdout);
}

static int BadInput(const char *what, const char *token) {
    fprintf(stderr, "d418inst: %s", what);
    if (token) fprintf(stderr, " \"%s\"", token);
    fputc('\n', stderr);
    fflush(stderr);
    return INST_EXIT_USAGE;
}

/* "d418inst: CALL failed, error N.[ WHY]" on stderr. Error 5 always says
   that administrator rights are needed. */
static int Failed(const char *call, uint32_t error, const char *why) {
    fflush(stdout);
    fprintf(stderr, "d418inst: %s failed, error %lu.", call, (unsigned long)error);
    if (error == INST_ERROR_ACCESS_DENIED)
        fputs(" d418inst must run as an administrator.", stderr);
    else if (why)
        fprintf(stderr, " %s", why);
    fputc('\n', stderr);
    fflush(stderr);
    return INST_EXIT_SYSTEM;
}

static const char *StartTypeName(uint32_t start_type) {
    switch (start_type) {
    case 0: return "boot";
    case 1: return "system";
    case INST_START_AUTO: return "auto";
    case INST_START_DEMAND: return "demand";
    case INST_START_DISABLED: return "disabled";
    default: return NULL;
    }
}

/* Case-blind comparison of two paths. */
static int SamePath(const char *a, const char *b) {
    for (; *a && *b; a++, b++) {
        char x = *a >= 'A' && *a <= 'Z' ? (char)(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? (char)(*b - 'A' + 'a') : *b;
        if (x == '/') x = '\\';
        if (y == '/') y = '\\';
        if (x != y) return 0;
    }
    return *a == *b;
}

/* ---- Common steps --------------------------------------------------------- */

static int Bind(void) {
    const char *call = NULL, *missing = NULL;
    uint32_t error = InstBindAdvapi(&call, &missing);
    char name[80];
    if (error == 0) return INST_EXIT_OK;
    if (missing) {
        sprintf(name, "%s(%.40s)", call, missing);
        return Failed(name, error, NULL);
    }
    return Failed(call, error, NULL);
}

/* The copied driver's place: the system folder's drivers folder. */
static int SystemDriverPath(char *path) {
    uint32_t error = InstGetSystemDirectory(path, INST_PATH_SIZE - 16);
    if (error) return Failed("GetSystemDirectoryA", error, NULL);
    strcat(path, "\\drivers\\d418.sys");
    return INST_EXIT_OK;
}

/* Waits for the service to reach the stopped state; 0 when it did. */
static int WaitStopped(InstHandle service, uint32_t *error) {
    int poll;
    for (poll = 0; poll < INST_STOP_POLLS; poll++) {
        uint32_t state = 0;
        *error = InstQueryServiceStatus(service, &state);
        if (*error) return -1;
        if (state == INST_SERVICE_STOPPED) return 0;
        InstSleep(100);
    }
    *error = 0;
    return 1;
}

/* A failure that no one call's error tells. */
static int FailedLine(const char *line) {
    fflush(stdout);
    fprintf(stderr, "d418inst: %s\n", line);
    fflush(stderr);
    return INST_EXIT_SYSTEM;
}

static const char StillOpen[] =
    "the driver has not stopped within 10 seconds: a program may still have the board open "
    "(d418inst status tells).";

/* Stops the service if it runs. *stopped tells whether it had to. Returns
   the exit status; on a stop that does not end, *timed_out is set and the
   message is left to the caller. */
static int StopIfRunning(InstHandle service, int *stopped, int *timed_out) {
    uint32_t state = 0, error;
    int waited;
    *stopped = 0;
    *timed_out = 0;
    error = InstQueryServiceStatus(service, &state);
    if (error) return Failed("QueryServiceStatus", error, NULL);
    if (state == INST_SERVICE_STOPPED) return INST_EXIT_OK;
    error = InstStopService(service);
    if (error && error != INST_ERROR_SERVICE_NOT_ACTIVE) return Failed("ControlService", error, NULL);
    waited = WaitStopped(service, &error);
    if (waited < 0) return Failed("QueryServiceStatus", error, NULL);
    if (waited > 0) *timed_out = 1;
    else *stopped = 1;
    return INST_EXIT_OK;
}

/* ---- install -------------------------------------------------------------- */

/* Finds the driver file: DRIVER as given, else d418.sys beside the
   program, then ..\driver\d418.sys. */
static int FindDriver(const char *given, char *path) {
    char *slash;
    size_t length;
    uint32_t error;
    char other[INST_PATH_SIZE];
    if (given) {
        if (strlen(given) >= INST_PATH_SIZE) return BadInput("no driver file", given);
        if (InstFileExists(given)) return BadInput("no driver file", given);
        strcpy(path, given);
        return INST_EXIT_OK;
    }
    error = InstGetProgramPath(path, INST_PATH_SIZE - 32);
    if (error) return Failed("GetModuleFileNameA", error, NULL);
    slash = strrchr(path, '\\');
    length = slash ? (size_t)(slash - path) + 1 : 0;
    strcpy(path + length, "..\\driver\\d418.sys");
    strcpy(other, path);
    strcpy(path + length, "d418.sys");
    if (InstFileExists(path) == 0) return INST_EXIT_OK;
    if (InstFileExists(other) == 0) {
        strcpy(path, other);
        return INST_EXIT_OK;
    }
    fprintf(stderr, "d418inst: no driver file \"%s\" nor \"%s\"\n", path, other);
    fflush(stderr);
    return INST_EXIT_USAGE;
}

/* Looks GROUP up and writes its SID as text. */
static int GroupSid(const char *group, char *text) {
    uint8_t sid[INST_MAX_SID];
    uint32_t use = 0;
    uint32_t error = InstLookupAccountName(group, sid, &use);
    if (error == INST_ERROR_NONE_MAPPED) return BadInput("unknown group", group);
    if (error) return Failed("LookupAccountNameA", error, NULL);
    if (use != INST_SID_GROUP && use != INST_SID_ALIAS && use != INST_SID_WELL_KNOWN_GROUP)
        return BadInput("not a group", group);
    if (!InstFormatSid(sid, sizeof sid, text))
        return FailedLine("LookupAccountNameA gave a malformed SID.");
    return INST_EXIT_OK;
}

/* Why the service cannot be changed, where the error tells. */
static const char *ServiceFailureReason(uint32_t error) {
    if (error == INST_ERROR_SERVICE_MARKED_FOR_DELETE)
        return "The service is marked for deletion: close the programs that have it open, "
               "or restart, then install again.";
    return NULL;
}

/* Why the driver did not start, where the error is one of its own
   refusals (87 is how NT and Wine pass on its configuration error). */
static const char *StartFailureReason(uint32_t error) {
    switch (error) {
    case INST_ERROR_INVALID_PARAMETER:
    case INST_ERROR_BAD_CONFIGURATION:
        return "The driver refused its settings: the base is outside 100-3FC or a parameter "
               "is malformed.";
    case INST_ERROR_INVALID_ADDRESS:
        return "The driver found its ports held by another device: choose another base "
               "with -b.";
    default:
        return ServiceFailureReason(error);
    }
}

/* Writes IoBase and AllowedGroup (or removes an earlier AllowedGroup). */
static int WriteParameters(const InstOptions *options, const char *sid) {
    InstHandle key = NULL;
    uint32_t error = InstRegCreateKey(INST_PARAMETERS_KEY, &key);
    if (error) return Failed("RegCreateKeyExA", error, NULL);
    error = InstRegSetDword(key, "IoBase", options->base);
    if (error) {
        InstRegCloseKey(key);
        return Failed("RegSetValueExA", error, NULL);
    }
    if (sid) error = InstRegSetString(key, "AllowedGroup", sid);
    else {
        error = InstRegDeleteValue(key, "AllowedGroup");
        if (error == INST_ERROR_FILE_NOT_FOUND) error = 0;
    }
    InstRegCloseKey(key);
    if (error) return Failed(sid ? "RegSetValueExA" : "RegDeleteValueA", error, NULL);
    printf("Parameters: IoBase 0x%lX, ", (unsigned long)options->base);
    if (sid) printf("AllowedGroup %s (%s)\n", sid, options->group);
    else printf("no AllowedGroup\n");
    fflush(stdout);
    return INST_EXIT_OK;
}

static int InstallWith(InstHandle manager, const InstOptions *options, const char *driver,
                       const char *target, const char *sid) {
    InstHandle service = NULL;
    uint32_t error = InstOpenService(manager, INST_SERVICE, 1, &service);
    int status, created = 0, stopped, timed_out;
    if (error && error != INST_ERROR_SERVICE_DOES_NOT_EXIST)
        return Failed("OpenServiceA", error, ServiceFailureReason(error));

    /* A running driver keeps its image: stop it before the copy. */
    if (service) {
        status = StopIfRunning(service, &stopped, &timed_out);
        if (status == INST_EXIT_OK && timed_out) status = FailedLine(StillOpen);
        if (status) {
            InstCloseServiceHandle(service);
            return status;
        }
        if (stopped) Say("%s\n", "Stopped the running driver");
    }

    if (SamePath(driver, target)) {
        Say("Driver file already in place: %s\n", target);
    } else {
        error = InstCopyFile(driver, target);
        if (error) {
            if (service) InstCloseServiceHandle(service);
            return Failed("CopyFileA", error, NULL);
        }
        Say("Copied to %s\n", target);
    }

    if (service) {
        error = InstChangeServiceConfig(service, INST_DISPLAY_NAME, options->start_type,
                                        INST_IMAGE_PATH);
        if (error) {
            InstCloseServiceHandle(service);
            return Failed("ChangeServiceConfigA", error, ServiceFailureReason(error));
        }
    } else {
        error = InstCreateService(manager, INST_SERVICE, INST_DISPLAY_NAME, options->start_type,
                                  INST_IMAGE_PATH, &service);
        if (error) return Failed("CreateServiceA", error, ServiceFailureReason(error));
        created = 1;
    }
    printf("Service " INST_SERVICE " %s: kernel driver, start %s\n",
           created ? "created" : "updated", StartTypeName(options->start_type));
    fflush(stdout);

    status = WriteParameters(options, sid);
    if (status == INST_EXIT_OK) {
        error = InstStartService(service);
        if (error) status = Failed("StartServiceA", error, StartFailureReason(error));
        else Say("%s\n", "Driver started");
    }
    InstCloseServiceHandle(service);
    return status;
}

static int Install(const InstOptions *options) {
    char driver[INST_PATH_SIZE], target[INST_PATH_SIZE], sid[INST_SID_TEXT_SIZE];
    InstHandle manager = NULL;
    uint32_t error;
    int status;

    /* Everything the input names is checked before anything changes. */
    if (options->group && (status = GroupSid(options->group, sid)) != INST_EXIT_OK) return status;
    if ((status = FindDriver(options->driver, driver)) != INST_EXIT_OK) return status;
    if ((status = SystemDriverPath(target)) != INST_EXIT_OK) return status;

    error = InstOpenSCManager(1, &manager);
    if (error) return Failed("OpenSCManagerA", error, NULL);
    Say("Driver file: %s\n", driver);
    status = InstallWith(manager, options, driver, target, options->group ? sid : NULL);
    InstCloseServiceHandle(manager);
    return status;
}

/* ---- remove --------------------------------------------------------------- */

/* Deletes the parameters; absent ones are no error. */
static int DeleteParameters(void) {
    uint32_t error = InstRegDeleteKey(INST_PARAMETERS_KEY);
    if (error == INST_ERROR_FILE_NOT_FOUND) return INST_EXIT_OK;
    if (error) return Failed("RegDeleteKeyA", error, NULL);
    Say("%s\n", "Parameters deleted");
    return INST_EXIT_OK;
}

/* Stops and deletes the service, and closes its handle; *kept_file is set
   when the driver could still be running, so its file must stay. */
static int DeleteTheService(InstHandle manager, InstHandle service, int *kept_file) {
    int status, stopped, timed_out;
    uint32_t error;
    status = StopIfRunning(service, &stopped, &timed_out);
    if (status == INST_EXIT_OK) {
        if (stopped) Say("%s\n", "Stopped the driver");
        status = DeleteParameters();
    }
    if (status == INST_EXIT_OK) {
        error = InstDeleteService(service);
        if (error && error != INST_ERROR_SERVICE_MARKED_FOR_DELETE)
            status = Failed("DeleteService", error, NULL);
    }
    InstCloseServiceHandle(service);
    if (status) return status;

    /* The service goes once its last handle closes: if it can still be
       opened, another program holds one. */
    error = InstOpenService(manager, INST_SERVICE, 0, &service);
    if (error == 0 || error == INST_ERROR_SERVICE_MARKED_FOR_DELETE) {
        if (error == 0) InstCloseServiceHandle(service);
        Say("%s\n", "Service " INST_SERVICE " is marked for deletion: another program still has "
                    "it open. It goes once that program closes it, at the latest at the next "
                    "restart.");
    } else if (error != INST_ERROR_SERVICE_DOES_NOT_EXIST) {
        return Failed("OpenServiceA", error, NULL);
    } else {
        Say("%s\n", "Service " INST_SERVICE " deleted");
    }
    if (timed_out) {
        *kept_file = 1;
        return FailedLine(StillOpen);
    }
    return INST_EXIT_OK;
}

static int Remove(void) {
    char target[INST_PATH_SIZE];
    InstHandle manager = NULL, service = NULL;
    int status, kept_file = 0;
    uint32_t error;

    if ((status = SystemDriverPath(target)) != INST_EXIT_OK) return status;
    error = InstOpenSCManager(1, &manager);
    if (error) return Failed("OpenSCManagerA", error, NULL);
    error = InstOpenService(manager, INST_SERVICE, 1, &service);
    if (error == INST_ERROR_SERVICE_DOES_NOT_EXIST) {
        Say("%s\n", "Service " INST_SERVICE " is not installed");
        status = DeleteParameters();
    } else if (error) {
        status = Failed("OpenServiceA", error, NULL);
    } else {
        status = DeleteTheService(manager, service, &kept_file);
    }
    InstCloseServiceHandle(manager);
    if (status || kept_file) return status;

    error = InstDeleteFile(target);
    if (error == INST_ERROR_FILE_NOT_FOUND) Say("No driver file at %s\n", target);
    else if (error) return Failed("DeleteFileA", error, NULL);
    else Say("Deleted %s\n", target);
    return INST_EXIT_OK;
}

/* ---- status --------------------------------------------------------------- */

static void SayBase(InstHandle key) {
    uint32_t type = 0, value = 0, size = sizeof value;
    uint32_t error = key ? InstRegQueryValue(key, "IoBase", &type, &value, &size)
                         : INST_ERROR_FILE_NOT_FOUND;
    if (error == INST_ERROR_FILE_NOT_FOUND)
        printf("Base: 0x%X (not set: the driver's default)\n", INST_DEFAULT_BASE);
    else if (error || type != INST_REG_DWORD || size != sizeof value)
        printf("Base: not a REG_DWORD (the driver will not start)\n");
    else if (value < INST_LOWEST_BASE || value > INST_HIGHEST_BASE)
        printf("Base: 0x%lX, outside 100-3FC (the driver will not start)\n", (unsigned long)value);
    else
        printf("Base: 0x%lX\n", (unsigned long)value);
}

static void SayGroup(InstHandle key) {
    char text[INST_SID_TEXT_SIZE];
    uint32_t type = 0, size = sizeof text - 1;
    uint32_t error = key ? InstRegQueryValue(key, "AllowedGroup", &type, text, &size)
                         : INST_ERROR_FILE_NOT_FOUND;
    if (error == INST_ERROR_FILE_NOT_FOUND) {
        printf("Allowed group: none\n");
    } else if (error == INST_ERROR_MORE_DATA && type == INST_REG_SZ) {
        printf("Allowed group: too long for a SID (the driver will not start)\n");
    } else if (error || type != INST_REG_SZ) {
        printf("Allowed group: not a REG_SZ (the driver will not start)\n");
    } else {
        text[size < sizeof text ? size : sizeof text - 1] = '\0';
        printf("Allowed group: %s\n", text);
    }
}

/* Whether \\.\D418 opens now for this account, told apart by the error of
   the open or, under systems that hand out a handle even to a refused
   open, of a request the driver does not know. */
static void SayDevice(void) {
    InstHandle device = NULL;
    uint32_t error = InstOpenDevice(INST_DEVICE, &device);
    if (error == 0) {
        error = InstDeviceControl(device, INST_PROBE_CODE);
        InstCloseHandle(device);
        if (error == 0 || error == INST_ERROR_INVALID_FUNCTION) {
            printf("Device \\\\.\\D418: opens, free for this account\n");
            return;
        }
    }
    printf("Device \\\\.\\D418: refused, ");
    switch (error) {
    case INST_ERROR_FILE_NOT_FOUND: printf("the driver is not running\n"); break;
    case INST_ERROR_SHARING_VIOLATION: printf("held by another program\n"); break;
    case INST_ERROR_ACCESS_DENIED: printf("not allowed for this account\n"); break;
    default: printf("error %lu\n", (unsigned long)error); break;
    }
}

static int ServiceFacts(InstHandle service) {
    uint32_t start_type = 0, state = 0, error;
    InstHandle key = NULL;
    const char *name;
    error = InstQueryServiceConfig(service, &start_type);
    if (error) return Failed("QueryServiceConfigA", error, NULL);
    error = InstQueryServiceStatus(service, &state);
    if (error) return Failed("QueryServiceStatus", error, NULL);
    error = InstRegOpenKey(INST_PARAMETERS_KEY, &key);
    if (error && error != INST_ERROR_FILE_NOT_FOUND) return Failed("RegOpenKeyExA", error, NULL);

    printf("Service " INST_SERVICE ": installed\n");
    name = StartTypeName(start_type);
    if (name) printf("Start type: %s\n", name);
    else printf("Start type: %lu\n", (unsigned long)start_type);
    switch (state) {
    case INST_SERVICE_RUNNING: printf("Running: yes\n"); break;
    case INST_SERVICE_STOPPED: printf("Running: no\n"); break;
    case INST_SERVICE_START_PENDING: printf("Running: starting\n"); break;
    case INST_SERVICE_STOP_PENDING: printf("Running: stopping\n"); break;
    default: printf("Running: state %lu\n", (unsigned long)state); break;
    }
    SayBase(error ? NULL : key);
    SayGroup(error ? NULL : key);
    if (!error) InstRegCloseKey(key);
    return INST_EXIT_OK;
}

static int Status(void) {
    InstHandle manager = NULL, service = NULL;
    uint32_t error = InstOpenSCManager(0, &manager);
    int status = INST_EXIT_OK;
    if (error) return Failed("OpenSCManagerA", error, NULL);
    error = InstOpenService(manager, INST_SERVICE, 0, &service);
    if (error == INST_ERROR_SERVICE_DOES_NOT_EXIST) {
        printf("Service " INST_SERVICE ": not installed\n");
    } else if (error) {
        status = Failed("OpenServiceA", error, NULL);
    } else {
        status = ServiceFacts(service);
        InstCloseServiceHandle(service);
    }
    InstCloseServiceHandle(manager);
    if (status == INST_EXIT_OK) SayDevice();
    fflush(stdout);
    return status;
}

/* ---- The program ---------------------------------------------------------- */

int InstMain(int argc, char **argv) {
    InstOptions options;
    InstError error;
    int status;
    if (!InstParse(argc, argv, &options, &error)) {
        if (error.what == InstNoCommand) {
            fputs(INST_USAGE, stderr);
            fflush(stderr);
            return INST_EXIT_USAGE;
        }
        return BadInput(error.what, error.token);
    }
    if (!InstIsNtFamily()) {
        fputs(NoDriverNeeded, stdout);
        fflush(stdout);
        return INST_EXIT_OK;
    }
    if ((status = Bind()) != INST_EXIT_OK) return status;
    switch (options.command) {
    case INST_INSTALL: return Install(&options);
    case INST_REMOVE: return Remove();
    default: return Status();
    }
}
