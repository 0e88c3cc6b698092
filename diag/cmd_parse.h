/* What d418cmd takes as input: its options, one command on the command line
   or a script of commands, all checked before the library is loaded. */
#ifndef D418CMD_CMD_PARSE_H
#define D418CMD_CMD_PARSE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The most payload bytes one send takes: the size of the largest reply. */
#define CMD_MAX_PAYLOAD 4092
/* The longest script line, not counting its line end. */
#define CMD_MAX_LINE 32767
/* Tokens kept of one command: the name, W2, W1, the bytes and one more, so
   that a command with one byte too many still shows which byte it is. */
#define CMD_MAX_TOKENS (3 + CMD_MAX_PAYLOAD + 1)

#define CMD_DEFAULT_BASE 0x300

/* A piece of text that is not zero-terminated: a token of a script line or
   a whole command-line argument. */
typedef struct CmdToken {
    const char *text;
    size_t length;
} CmdToken;

/* What is wrong with the input: a description and the token it is about
   (text NULL when there is no one token to blame). */
typedef struct CmdError {
    const char *what;
    CmdToken token;
} CmdError;

typedef enum CmdKind { CMD_RESET, CMD_SEND, CMD_TIMEOUT } CmdKind;

/* One command: D418Reset; D418SendCommand(w2, w1, payload, length) and its
   D418ReadResponse; or D418Timeout(timeout). */
typedef struct CmdStep {
    CmdKind kind;
    uint32_t w2;
    uint32_t w1;
    int32_t length;
    uint8_t payload[CMD_MAX_PAYLOAD];
    uint32_t timeout;
} CmdStep;

typedef struct CmdOptions {
    uint32_t base;        /* -b, or CMD_DEFAULT_BASE */
    int has_timeout;      /* -t given */
    uint32_t timeout;     /* -t */
    int keep_going;       /* -k */
    const char *script;   /* -f SCRIPT ("-" for standard input), or NULL */
    int command;          /* with no -f: the index in argv of COMMAND */
} CmdOptions;

/* Set as error->what when there is neither a command nor -f: the caller
   shows the usage instead of one message. */
extern const char CmdNoCommand[];

/* Reads the options up to COMMAND (or to the end, after -f). Returns 1, or
   0 with *error filled in. With -f nothing may follow but options. */
int CmdParseOptions(int argc, char **argv, CmdOptions *options, CmdError *error);

/* Checks one command given as tokens (count at least 1) and fills in *step.
   Returns 1, or 0 with *error filled in. Commands: "reset", "send W2 W1
   [BYTE...]" (hexadecimal, an optional 0x, words up to FFFF, bytes up to
   FF, at most CMD_MAX_PAYLOAD bytes) and "timeout N" (decimal, up to
   4294967295); their names in any case. */
int CmdParseStep(const CmdToken *tokens, int count, CmdStep *step, CmdError *error);

/* Splits a script line into tokens at blanks (space, tab); a '#' starts a
   comment that runs to the end of the line. Stores at most capacity tokens
   and returns how many it stored (0 for a blank or comment line). */
int CmdSplitLine(const char *line, size_t length, CmdToken *tokens, int capacity);

/* Walks through the lines of a script held in memory. */
typedef struct CmdScriptCursor {
    const char *next;
    const char *end;
    long line;  /* number of the line last returned, from 1 */
} CmdScriptCursor;

void CmdScriptBegin(CmdScriptCursor *cursor, const char *text, size_t size);

/* Gives the next line without its line end (LF, CR LF, or none at the end
   of the text). Returns 1, or 0 when there are no more lines. Returns -1
   with *error filled in when the line cannot be read: it is longer than
   CMD_MAX_LINE or holds a zero byte. A UTF-8 byte order mark at the start
   of the text is skipped. */
int CmdScriptNextLine(CmdScriptCursor *cursor, CmdToken *line, CmdError *error);

/* Checks every line of a script: each is blank, a comment, or a command
   that CmdParseStep takes. Returns 1, or 0 with *error and *line_number
   (from 1) telling the first bad line. */
int CmdCheckScript(const char *text, size_t size, CmdError *error, long *line_number);

#ifdef __cplusplus
}
#endif

#endif /* D418CMD_CMD_PARSE_H */
