/* d418inst: installs, checks and removes the board's driver d418.sys on
   the NT family. */
#ifndef D418INST_INST_MAIN_H
#define D418INST_INST_MAIN_H

#ifdef __cplusplus
extern "C" {
#endif

/* Exit statuses. */
#define INST_EXIT_OK 0      /* done (on Windows 95/98/Me: nothing to do) */
#define INST_EXIT_SYSTEM 1  /* a system call failed; the line names it */
#define INST_EXIT_USAGE 3   /* bad input; nothing was changed */

/* The service, its registry key and the device, as every part of the
   release names them. */
#define INST_SERVICE "d418"
#define INST_DISPLAY_NAME "D418 board driver"
#define INST_SERVICE_KEY "SYSTEM\\CurrentControlSet\\Services\\d418"
#define INST_PARAMETERS_KEY INST_SERVICE_KEY "\\Parameters"
#define INST_IMAGE_PATH "\\SystemRoot\\System32\\drivers\\d418.sys"
#define INST_DEVICE "\\\\.\\D418"
/* A control code the driver does not know (function 0x904): an accepted
   handle gets ERROR_INVALID_FUNCTION, a refused one the refusal's code. */
#define INST_PROBE_CODE 0xD4182410u
/* How long a stop may take: polls of the service's state, 100 ms apart. */
#define INST_STOP_POLLS 100

/* The whole program: reads the command line, then runs install, remove or
   status. Progress and facts go to stdout, one line each; a failure or bad
   input is one line on stderr. Returns the exit status. */
int InstMain(int argc, char **argv);

#ifdef __cplusplus
}
#endif

#endif /* D418INST_INST_MAIN_H */
