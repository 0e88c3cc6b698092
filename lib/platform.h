// Everything the library needs from the operating system. The Windows build
// links platform_win32.cpp (the real services and the x86 port
// instructions); host tests link a simulated platform instead. The
// functions mirror the Win32 calls they stand for, argument for argument, so
// that a simulation can record exactly what the library asked for.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A device handle as the library stores it; on Windows it is a HANDLE.
typedef void *PlatformHandle;

#define PLATFORM_INVALID_HANDLE ((PlatformHandle)(intptr_t)-1)

#ifdef __cplusplus
extern "C" {
#endif

// GetVersion(): a result with the high bit set means Windows 95/98/Me.
uint32_t PlatformGetVersion(void);

// One byte-wide read or write of an I/O port.
uint8_t PlatformPortIn(uint16_t port);
void PlatformPortOut(uint16_t port, uint8_t value);

// Sleep(milliseconds).
void PlatformSleep(uint32_t milliseconds);

// The pause between two status reads of a reply wait. Returns nonzero to go
// on waiting, 0 when the wait must end at once. Only a platform that can end
// a wait early (the board's kernel driver, whose caller may cancel or end)
// defines PLATFORM_WAIT_CAN_END and supplies this function; everywhere else
// it is Sleep and always goes on, so the compiler drops the test.
#ifdef PLATFORM_WAIT_CAN_END
int PlatformWaitPause(uint32_t milliseconds);
#else
static inline int PlatformWaitPause(uint32_t milliseconds) {
    PlatformSleep(milliseconds);
    return 1;
}
#endif

// SetLastError(code).
void PlatformSetLastError(uint32_t code);

// The command frame's memory: one block for the length of one call. Returns
// null when the memory cannot be had.
void *PlatformAlloc(size_t size);
void PlatformFree(void *block);

// CreateFileA with a null security-attributes pointer and a null template.
// Returns PLATFORM_INVALID_HANDLE on failure.
PlatformHandle PlatformCreateFile(const char *name, uint32_t access,
                                  uint32_t share, uint32_t disposition,
                                  uint32_t flags);

// CloseHandle(handle): nonzero on success.
int PlatformCloseHandle(PlatformHandle handle);

// DeviceIoControl with a null overlapped pointer: nonzero on success.
int PlatformDeviceIoControl(PlatformHandle handle, uint32_t code,
                            const void *input, uint32_t input_length,
                            void *output, uint32_t output_length,
                            uint32_t *returned);

#ifdef __cplusplus
}
#endif
