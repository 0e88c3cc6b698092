/* A DLL built by the release's rules that imports a KERNEL32 function the
   first Windows 95 lacks (Windows 98 and NT 4.0 have it): the loader
   refuses the DLL on Windows 95. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)module, (void)reserved;
    if (reason == DLL_PROCESS_ATTACH && IsDebuggerPresent()) OutputDebugStringA("loaded\n");
    return TRUE;
}
