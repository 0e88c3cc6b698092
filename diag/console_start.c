/* Start-up of the 32-bit console programs: the image's entry point. The
   C run-time DLL (CRTDLL.DLL) splits the command line; main runs; exit
   flushes the run time's streams and ends the process with main's result.
   Nothing of the compiler's prebuilt start-up is linked. */
#include <stdlib.h>

/* CRTDLL.DLL's own entry for the arguments; the last argument asks it to
   expand wildcards (here: no). */
void __GetMainArgs(int *argc, char ***argv, char ***envp, int expand_wildcards);

int main(int argc, char **argv);

/* The compiler makes main call __main first, to run the constructors that
   the linker gathers between __CTOR_LIST__ (a -1, then the constructors)
   and a closing 0. They run last to first, once. */
typedef void (*Constructor)(void);
extern Constructor __CTOR_LIST__[];

void __main(void) {
    static int ran = 0;
    if (ran) return;
    ran = 1;
    size_t count = 0;
    while (__CTOR_LIST__[count + 1]) count++;
    for (; count > 0; count--) __CTOR_LIST__[count]();
}

void ConsoleStart(void) {
    int argc = 0;
    char **argv = NULL;
    char **envp = NULL;
    __GetMainArgs(&argc, &argv, &envp, 0);
    exit(main(argc, argv));
}
