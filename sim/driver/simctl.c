/*
 * simctl.c - user-mode helpers for the simulated D418 driver's control
 * device. See simctl.h.
 */
#include "simctl.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define CONTROL_PATH "\\\\.\\D418Sim"

/* One request on the control device. */
static int control_request(uint32_t code, const void *in, DWORD in_len, void *out,
                           DWORD out_len, DWORD *returned)
{
    HANDLE h;
    DWORD got = 0;
    int err = 0;

    h = CreateFileA(CONTROL_PATH, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0,
                    NULL);
    if (h == INVALID_HANDLE_VALUE)
        return (int)GetLastError();
    if (!DeviceIoControl(h, code, (void *)in, in_len, out, out_len, &got, NULL))
        err = (int)GetLastError();
    CloseHandle(h);
    if (returned)
        *returned = got;
    return err;
}

int SimCtlReset(void)
{
    return control_request(D418SIM_IOCTL_RESET, NULL, 0, NULL, 0, NULL);
}

int SimCtlSetBoard(uint32_t address)
{
    return control_request(D418SIM_IOCTL_SET_BOARD, &address, sizeof address, NULL, 0, NULL);
}

int SimCtlScript(uint32_t code, int32_t ntstatus, const void *bytes, uint32_t len)
{
    struct D418SIM_SCRIPT *script;
    int err;

    if (len > D418SIM_SCRIPT_MAX_DATA || (len && !bytes))
        return ERROR_INVALID_PARAMETER;
    script = (struct D418SIM_SCRIPT *)calloc(1, sizeof *script);
    if (!script)
        return ERROR_NOT_ENOUGH_MEMORY;
    script->code = code;
    script->status = ntstatus;
    script->length = len;
    if (len)
        memcpy(script->data, bytes, len);
    err = control_request(D418SIM_IOCTL_SCRIPT, script, D418SIM_SCRIPT_HEADER_SIZE + len, NULL,
                          0, NULL);
    free(script);
    return err;
}

int SimCtlScriptFail(uint32_t code, int32_t ntstatus)
{
    return SimCtlScript(code, ntstatus, NULL, 0);
}

int SimCtlScriptAnswer(uint32_t code, const void *bytes, uint32_t len)
{
    return SimCtlScript(code, 0, bytes, len);
}

int SimCtlLast(struct D418SIM_LAST *last)
{
    memset(last, 0, sizeof *last);
    return control_request(D418SIM_IOCTL_LAST, NULL, 0, last, sizeof *last, NULL);
}

int SimCtlCounts(struct D418SIM_COUNTS *counts)
{
    memset(counts, 0, sizeof *counts);
    return control_request(D418SIM_IOCTL_COUNTS, NULL, 0, counts, sizeof *counts, NULL);
}

int SimCtlState(struct D418SIM_STATE *state)
{
    memset(state, 0, sizeof *state);
    return control_request(D418SIM_IOCTL_STATE, NULL, 0, state, sizeof *state, NULL);
}

int SimCtlSetOpen(int32_t ntstatus, uint32_t exclusive)
{
    struct D418SIM_OPEN_POLICY policy;
    policy.status = ntstatus;
    policy.exclusive = exclusive;
    return control_request(D418SIM_IOCTL_SET_OPEN, &policy, sizeof policy, NULL, 0, NULL);
}

int SimCtlWaitOpen(uint32_t open, uint32_t timeout_ms)
{
    DWORD start = GetTickCount();
    struct D418SIM_COUNTS counts;
    int err;

    for (;;) {
        err = SimCtlCounts(&counts);
        if (err)
            return err;
        if (counts.open == open)
            return 0;
        if (GetTickCount() - start >= timeout_ms)
            return ERROR_TIMEOUT;
        Sleep(5);
    }
}
