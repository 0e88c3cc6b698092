/* d418diag: tells whether the D418 board is correctly installed at the I/O
   base address given on the command line. */
#ifndef D418DIAG_DIAG_MAIN_H
#define D418DIAG_DIAG_MAIN_H

#ifdef __cplusplus
extern "C" {
#endif

/* Exit statuses. */
#define DIAG_EXIT_INSTALLED 0
#define DIAG_EXIT_USAGE 0          /* not exactly one argument: usage shown */
#define DIAG_EXIT_INIT_FAILED 1
#define DIAG_EXIT_RESET_FAILED 2
#define DIAG_EXIT_BAD_ARGUMENT 3   /* the argument is no 32-bit hex number */

#define DIAG_USAGE_LINE " Usage: d418diag  <I/O Base address (in hex)>              "

/* The whole program: checks the argument, binds and initialises the
   library at that base, resets the board, and prints one line on stdout.
   Returns the exit status. */
int DiagMain(int argc, char **argv);

#ifdef __cplusplus
}
#endif

#endif /* D418DIAG_DIAG_MAIN_H */
