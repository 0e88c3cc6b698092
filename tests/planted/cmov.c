/* A DLL built by the release's rules with one conditional move, an
   instruction of the Pentium Pro and later. */
#include <windows.h>

__declspec(dllexport) int Larger(int a, int b) {
    int result = a;
    __asm__("cmpl %2, %1\n\tcmovll %2, %0" : "+r"(result) : "r"(a), "r"(b) : "cc");
    return result;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)module, (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) Sleep((DWORD)Larger(0, 1));
    return TRUE;
}
