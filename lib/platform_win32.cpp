// The real platform: Win32 kernel services and the x86 port instructions.
#include "platform.h"

#include <windows.h>

uint32_t PlatformGetVersion(void) { return GetVersion(); }

// The port number is always passed in DX ("d"), never as an immediate, so
// every access is the one-byte form "in al, dx" / "out dx, al".
uint8_t PlatformPortIn(uint16_t port) {
    uint8_t value;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "d"(port) : "memory");
    return value;
}

void PlatformPortOut(uint16_t port, uint8_t value) {
    __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "d"(port) : "memory");
}

void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }

void PlatformSetLastError(uint32_t code) { SetLastError(code); }

// The library has no C run time: the frame's memory comes from the
// process heap, which every Win32 process has.
void *PlatformAlloc(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void PlatformFree(void *block) { HeapFree(GetProcessHeap(), 0, block); }

PlatformHandle PlatformCreateFile(const char *name, uint32_t access,
                                  uint32_t share, uint32_t disposition,
                                  uint32_t flags) {
    return CreateFileA(name, access, share, NULL, disposition, flags, NULL);
}

int PlatformCloseHandle(PlatformHandle handle) {
    return CloseHandle(handle) ? 1 : 0;
}

int PlatformDeviceIoControl(PlatformHandle handle, uint32_t code,
                            const void *input, uint32_t input_length,
                            void *output, uint32_t output_length,
                            uint32_t *returned) {
    DWORD count = 0;
    BOOL ok = DeviceIoControl(handle, code, const_cast<void *>(input),
                              input_length, output, output_length, &count,
                              NULL);
    *returned = count;
    return ok ? 1 : 0;
}

#include "lifecycle.h"

// The image's entry point (there is no C run-time start-up in between): the
// system passes every process and thread notification on to the library's
// lifecycle.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    return LoadEntry(reason) ? TRUE : FALSE;
}
