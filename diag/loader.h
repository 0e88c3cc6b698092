/* Everything d418diag needs from the operating system's module loader. The
   Windows build links loader_win32.c (the real calls); host tests link a
   simulated loader instead. Each function stands for the Win32 call of the
   same name, argument for argument. */
#ifndef D418DIAG_LOADER_H
#define D418DIAG_LOADER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A loaded module as d418diag stores it; on Windows it is an HMODULE. */
typedef void *LoaderModule;

/* An entry point as GetProcAddress gives it, before it is cast to its own
   type. */
typedef void (*LoaderProc)(void);

/* LoadLibraryA(file_name): null on failure. */
LoaderModule LoaderLoadLibrary(const char *file_name);

/* GetProcAddress(module, name): null when the module has no such export. */
LoaderProc LoaderGetProcAddress(LoaderModule module, const char *name);

/* FreeLibrary(module): nonzero on success. */
int LoaderFreeLibrary(LoaderModule module);

/* GetLastError(). */
uint32_t LoaderGetLastError(void);

#ifdef __cplusplus
}
#endif

#endif /* D418DIAG_LOADER_H */
