/* The real loader: the Win32 calls themselves. */
#include "loader.h"

#include <windows.h>

LoaderModule LoaderLoadLibrary(const char *file_name) {
    return (LoaderModule)LoadLibraryA(file_name);
}

LoaderProc LoaderGetProcAddress(LoaderModule module, const char *name) {
    /* A cast through void (*)(void), the type every function pointer may
       pass through unchanged. */
    return (LoaderProc)GetProcAddress((HMODULE)module, name);
}

int LoaderFreeLibrary(LoaderModule module) {
    return FreeLibrary((HMODULE)module) ? 1 : 0;
}

uint32_t LoaderGetLastError(void) { return (uint32_t)GetLastError(); }
