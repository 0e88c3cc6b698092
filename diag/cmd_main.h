/* d418cmd: sends commands to the D418 board through the library and shows
   each result and reply. */
#ifndef D418CMD_CMD_MAIN_H
#define D418CMD_CMD_MAIN_H

#ifdef __cplusplus
extern "C" {
#endif

/* Exit statuses. */
#define CMD_EXIT_OK 0           /* every call gave 0 */
#define CMD_EXIT_LIBRARY 1      /* the library did not load, or a call gave 1 to 4 */
#define CMD_EXIT_STATUS_WORD 2  /* a call gave another non-zero value: a status word */
#define CMD_EXIT_USAGE 3        /* bad input; the library was not loaded */

/* The whole program: checks the options and the command or the whole
   script, binds and initialises the library once, applies -t, then runs
   the steps and prints one line per library call (and the reply's payload
   after D418ReadResponse) on stdout. Bad input gets one line on stderr.
   Returns the exit status. */
int CmdMain(int argc, char **argv);

#ifdef __cplusplus
}
#endif

#endif /* D418CMD_CMD_MAIN_H */
