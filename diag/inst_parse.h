/* What d418inst takes as input, all checked before anything is changed,
   and the text form of a SID that it writes for the driver. */
#ifndef D418INST_INST_PARSE_H
#define D418INST_INST_PARSE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define INST_DEFAULT_BASE 0x300
/* The bases the driver accepts; it refuses to start with any other. */
#define INST_LOWEST_BASE 0x100
#define INST_HIGHEST_BASE 0x3FC

typedef enum InstCommand { INST_INSTALL, INST_REMOVE, INST_STATUS } InstCommand;

typedef struct InstOptions {
    InstCommand command;
    uint32_t base;       /* -b, or INST_DEFAULT_BASE */
    const char *group;   /* -g, or NULL */
    uint32_t start_type; /* -m: INST_START_AUTO (default) or INST_START_DEMAND */
    const char *driver;  /* DRIVER, or NULL for the default places */
} InstOptions;

/* What is wrong with the input: a description and the argument it is
   about (NULL when there is none). */
typedef struct InstError {
    const char *what;
    const char *token;
} InstError;

/* Set as error->what when there is no command at all: the caller shows the
   usage instead of one message. */
extern const char InstNoCommand[];

/* Reads argv[1...]: COMMAND, then for install the options -b BASE,
   -g GROUP, -m auto|demand in any order and at most one DRIVER.
   Returns 1 and fills *options, or 0 and fills *error. BASE is read as
   d418diag reads its argument, and must lie in 0x100-0x3FC (the driver
   would refuse to start with any other). */
int InstParse(int argc, char **argv, InstOptions *options, InstError *error);

/* Writes the binary SID at SID (revision, sub-authority count, 6 bytes of
   authority high byte first, then the sub-authorities as 32-bit
   little-endian words) as text: "S-1-5-32-544". The authority is decimal
   when it fits in 32 bits, else "0x" and 12 hexadecimal digits. TEXT needs
   room for 184 characters. Returns 0 when SID_SIZE does not hold the whole
   SID or the count is above 15, else 1. */
int InstFormatSid(const uint8_t *sid, size_t sid_size, char *text);

#ifdef __cplusplus
}
#endif

#endif /* D418INST_INST_PARSE_H */
