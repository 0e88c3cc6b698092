/*
 * simctl.h - user-mode helpers for the simulated D418 driver's control
 * device ("\\.\D418Sim"). Each call opens the control device, makes one
 * request and closes it again.
 *
 * Every function returns 0 on success and otherwise a Win32 error code
 * (what GetLastError reported; ERROR_FILE_NOT_FOUND, 2, when the simulated
 * driver is not running).
 */
#ifndef SIMCTL_H
#define SIMCTL_H

#include <stdint.h>

#include "d418sim_control.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Clears armed answers and the last-request record, zeroes the request
   counter and puts the board model and open policy back to defaults. */
int SimCtlReset(void);

/* Moves the simulated board to `address` (the default is 0x300). */
int SimCtlSetBoard(uint32_t address);

/* Arms a one-shot answer for the next board request carrying control code
   `code` (0 = any code): complete it with `ntstatus` and the first
   min(len, output buffer length) of `bytes`. len is at most 4096. */
int SimCtlScript(uint32_t code, int32_t ntstatus, const void *bytes, uint32_t len);

/* SimCtlScript with no bytes: the request fails with `ntstatus`. */
int SimCtlScriptFail(uint32_t code, int32_t ntstatus);

/* SimCtlScript with status 0: the request succeeds with `bytes`. */
int SimCtlScriptAnswer(uint32_t code, const void *bytes, uint32_t len);

/* The most recent board request. */
int SimCtlLast(struct D418SIM_LAST *last);

/* Handle counts on the board device. */
int SimCtlCounts(struct D418SIM_COUNTS *counts);

/* The board model's state. */
int SimCtlState(struct D418SIM_STATE *state);

/* Makes every open of the board device fail with `ntstatus` (0 = allow),
   and, when `exclusive` is non-zero, refuses an open while a handle is
   open with STATUS_ACCESS_DENIED. */
int SimCtlSetOpen(int32_t ntstatus, uint32_t exclusive);

/* Waits until exactly `open` handles are open on the board device, for at
   most `timeout_ms` milliseconds. Closes reach the driver a little after
   CloseHandle returns, so tests that count handles wait with this.
   Returns ERROR_TIMEOUT (1460) if the count did not come. */
int SimCtlWaitOpen(uint32_t open, uint32_t timeout_ms);

#ifdef __cplusplus
}
#endif

#endif /* SIMCTL_H */
