#include "cmd_main.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "binding.h"
#include "cmd_parse.h"
#include "result_text.h"

#define CMD_USAGE                                                          \
    "usage: d418cmd [-b BASE] [-t TIMEOUT] [-k] COMMAND [ARG...]\n"        \
    "       d418cmd [-b BASE] [-t TIMEOUT] [-k] -f SCRIPT\n"               \
    "COMMAND: reset | send W2 W1 [BYTE...] | timeout N\n"

/* Kept out of the stack: a step holds a whole payload, and a line up to
   CMD_MAX_TOKENS tokens. */
static CmdToken Tokens[CMD_MAX_TOKENS];
static CmdStep Step;
static uint8_t Reply[D418_MAX_PAYLOAD];

/* ---- Bad input ------------------------------------------------------------ */

/* One line on stderr: "d418cmd: [SCRIPT:LINE: ]WHAT["TOKEN"]". */
static void PrintError(const char *script, long line, const CmdError *error) {
    fputs("d418cmd: ", stderr);
    if (script) fprintf(stderr, "%s:%ld: ", script, line);
    fputs(error->what, stderr);
    if (error->token.text)
        fprintf(stderr, " \"%.*s\"", (int)error->token.length, error->token.text);
    fputc('\n', stderr);
    fflush(stderr);
}

static void PrintFileError(const char *what, const char *path) {
    fprintf(stderr, "d418cmd: %s \"%s\"\n", what, path);
    fflush(stderr);
}

/* Reads the whole script into memory, so that every line is checked before
   the library is loaded (standard input cannot be read twice). Returns the
   text, or NULL after printing why not. */
static char *ReadScript(const char *path, size_t *size) {
    int from_stdin = strcmp(path, "-") == 0;
    FILE *file = from_stdin ? stdin : fopen(path, "rb");
    char *text = NULL;
    size_t used = 0, room = 0;
    int failed = 0;
    if (!file) {
        PrintFileError("cannot open script", path);
        return NULL;
    }
    for (;;) {
        size_t got;
        if (used == room) {
            size_t bigger = room ? room * 2 : 4096;
            char *grown = bigger > room ? (char *)realloc(text, bigger) : NULL;
            if (!grown) {
                failed = 2;
                break;
            }
            text = grown;
            room = bigger;
        }
        got = fread(text + used, 1, room - used, file);
        used += got;
        if (got == 0) {
            if (ferror(file)) failed = 1;
            break;
        }
    }
    if (!from_stdin) fclose(file);
    if (failed) {
        PrintFileError(failed == 1 ? "cannot read script" : "no memory for script", path);
        free(text);
        return NULL;
    }
    *size = used;
    return text;
}

/* ---- Output --------------------------------------------------------------- */

static int ClassOf(D418_RESULT result) {
    if (result == 0) return CMD_EXIT_OK;
    if (result >= 1 && result <= 4) return CMD_EXIT_LIBRARY;
    return CMD_EXIT_STATUS_WORD;
}

/* The more serious of two classes: a library failure before a status word
   before success. */
static int Worse(int a, int b) {
    if (a == CMD_EXIT_LIBRARY || b == CMD_EXIT_LIBRARY) return CMD_EXIT_LIBRARY;
    if (a == CMD_EXIT_STATUS_WORD || b == CMD_EXIT_STATUS_WORD) return CMD_EXIT_STATUS_WORD;
    return CMD_EXIT_OK;
}

/* Finishes an operation's line: "HEAD result=R[ count=C][: TEXT]". Called
   right after the library call: for code 1 the text carries the last error
   that the call left, so it is made before anything is printed. */
static void PrintResult(const char *head, D418_RESULT result, int show_count, int32_t count) {
    const char *text = result >= 1 && result <= 4 ? ResultText(result) : NULL;
    printf("%s result=%d", head, (int)result);
    if (show_count) printf(" count=%d", (int)count);
    if (text) printf(": %s", text);
    printf("\n");
}

/* The payload, 16 bytes a line: "  OOOO  XX XX ...", OOOO the offset. */
static void PrintPayload(const uint8_t *bytes, int32_t count) {
    char line[8 + 3 * 16 + 1];
    int32_t offset, i;
    for (offset = 0; offset < count; offset += 16) {
        char *p = line + sprintf(line, "  %04X ", (unsigned)offset);
        for (i = offset; i < count && i < offset + 16; i++)
            p += sprintf(p, " %02X", bytes[i]);
        puts(line);
    }
}

/* ---- The library calls ---------------------------------------------------- */

static int RunInit(uint32_t base) {
    char head[40];
    D418_RESULT result;
    sprintf(head, "D418Init base=0x%X", (unsigned)base);
    result = D418Init(base);
    PrintResult(head, result, 0, 0);
    return ClassOf(result);
}

static int RunTimeout(uint32_t timeout) {
    char head[40];
    D418_RESULT result;
    sprintf(head, "D418Timeout timeout=%u", (unsigned)timeout);
    result = D418Timeout(timeout);
    PrintResult(head, result, 0, 0);
    return ClassOf(result);
}

static int RunReset(void) {
    D418_RESULT result = D418Reset();
    PrintResult("D418Reset", result, 0, 0);
    return ClassOf(result);
}

/* D418SendCommand, and when it gives 0, D418ReadResponse. A send that gives
   anything else has failed and ends the step: a read would wait for a reply
   that may never come, or collect one that belongs to no command. */
static int RunSend(const CmdStep *step) {
    char head[80];
    D418_RESULT result;
    int32_t count = 0;
    sprintf(head, "D418SendCommand w2=0x%04X w1=0x%04X length=%d", (unsigned)step->w2,
            (unsigned)step->w1, (int)step->length);
    result = D418SendCommand((int32_t)step->w2, (int32_t)step->w1, step->payload, step->length);
    PrintResult(head, result, 0, 0);
    if (result != 0) return ClassOf(result);

    result = D418ReadResponse(Reply, &count);
    /* After code 1 the library leaves the count as it was: it is not the
       library's, so it is not shown. */
    PrintResult("D418ReadResponse", result, result != 1, count);
    if (result != 1) PrintPayload(Reply, count < D418_MAX_PAYLOAD ? count : D418_MAX_PAYLOAD);
    return ClassOf(result);
}

static int RunStep(const CmdStep *step) {
    int outcome;
    switch (step->kind) {
    case CMD_RESET:
        outcome = RunReset();
        break;
    case CMD_TIMEOUT:
        outcome = RunTimeout(step->timeout);
        break;
    default:
        outcome = RunSend(step);
        break;
    }
    /* Each line reaches a pipe as soon as its call is done. */
    fflush(stdout);
    return outcome;
}

/* ---- The course ----------------------------------------------------------- */

/* Runs every command line of an already checked script, in order. */
static int RunScript(const char *text, size_t size, int keep_going) {
    CmdScriptCursor cursor;
    CmdToken line;
    CmdError error;
    int status = CMD_EXIT_OK;
    CmdScriptBegin(&cursor, text, size);
    while (CmdScriptNextLine(&cursor, &line, &error) > 0) {
        int outcome;
        int count = CmdSplitLine(line.text, line.length, Tokens, CMD_MAX_TOKENS);
        if (count == 0 || !CmdParseStep(Tokens, count, &Step, &error)) continue;
        outcome = RunStep(&Step);
        status = Worse(status, outcome);
        if (outcome != CMD_EXIT_OK && !keep_going) break;
    }
    return status;
}

int CmdMain(int argc, char **argv) {
    CmdOptions options;
    CmdError error;
    char *script = NULL;
    size_t size = 0;
    int status;

    if (!CmdParseOptions(argc, argv, &options, &error)) {
        if (error.what == CmdNoCommand) fputs(CMD_USAGE, stderr);
        else PrintError(NULL, 0, &error);
        return CMD_EXIT_USAGE;
    }
    if (options.script) {
        long line = 0;
        script = ReadScript(options.script, &size);
        if (!script) return CMD_EXIT_USAGE;
        if (!CmdCheckScript(script, size, &error, &line)) {
            PrintError(strcmp(options.script, "-") == 0 ? "<stdin>" : options.script, line,
                       &error);
            free(script);
            return CMD_EXIT_USAGE;
        }
    } else {
        int count = 0;
        int i;
        for (i = options.command; i < argc && count < CMD_MAX_TOKENS; i++) {
            Tokens[count].text = argv[i];
            Tokens[count].length = strlen(argv[i]);
            count++;
        }
        if (!CmdParseStep(Tokens, count, &Step, &error)) {
            PrintError(NULL, 0, &error);
            return CMD_EXIT_USAGE;
        }
    }

    /* The library is loaded once, here; a failure to set it up ends the run
       whatever -k says. */
    status = RunInit(options.base);
    if (status == CMD_EXIT_OK && options.has_timeout) status = RunTimeout(options.timeout);
    fflush(stdout);
    if (status == CMD_EXIT_OK) {
        if (script) status = RunScript(script, size, options.keep_going);
        else status = RunStep(&Step);
    }
    free(script);
    return status;
}
