/* A DLL built by the release's rules with one thread-local variable. The
   compiler would emulate __thread with TlsAlloc; a variable of the image's
   own TLS data, as other compilers make it, needs the section .tls and a
   TLS directory (the symbol _tls_used, which the linker enters in the
   header). Windows 95 refuses to load such a DLL. */
#include <windows.h>

__attribute__((section(".tls"))) int PerThreadCalls = 0;
__attribute__((section(".tls$ZZZ"))) char TlsEnd = 0;
ULONG _tls_index = 0;
const IMAGE_TLS_DIRECTORY _tls_used = {
    (DWORD)(UINT_PTR)&PerThreadCalls, (DWORD)(UINT_PTR)&TlsEnd,
    (DWORD)(UINT_PTR)&_tls_index, 0, 0, 0};

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)module, (void)reserved;
    if (reason == DLL_THREAD_ATTACH) PerThreadCalls = (int)GetCurrentThreadId();
    return TRUE;
}
