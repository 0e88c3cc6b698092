/* A DLL and a program linked the ordinary way, with the C run time's
   start-up code: it brings a TLS directory, an import of msvcrt.dll and
   Pentium Pro instructions into the image. */
#include <stdlib.h>

__declspec(dllexport) void *Block(size_t size) { return malloc(size); }

#ifdef PLANTED_PROGRAM
#include <stdio.h>
int main(void) { return puts("planted") < 0; }
#endif
