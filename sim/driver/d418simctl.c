/*
 * d418simctl.c - console tool for the simulated D418 driver.
 *
 *   d418simctl ping                           exit 0 if the driver answers
 *   d418simctl ping-board                     exit 0 if "\\.\D418" opens
 *   d418simctl reset                          clear scripts, record, model
 *   d418simctl board <hexaddr>                move the simulated board
 *   d418simctl fail <hexcode> <ntstatus>      next request with code fails
 *   d418simctl answer <hexcode> [hexbytes...] next request with code
 *                                             succeeds with these bytes
 *   d418simctl script <hexcode> <ntstatus> [hexbytes...]
 *   d418simctl last                           the most recent board request
 *   d418simctl counts                         handle counts
 *   d418simctl state                          the board model
 *   d418simctl open <ntstatus> [exclusive]    open policy (0 0 = default)
 *   d418simctl wait-open <n> [ms]             wait for n open handles
 *
 * A code of 0 matches any request. An NTSTATUS is hex (C00000B5 or
 * 0xC00000B5) or one of the names in status_names. Hex bytes may be split
 * over several arguments and may contain spaces, e.g. "00 00 04 00".
 * Output is "key=value" text; errors go to stderr. Exit status: 0 done,
 * 1 the request failed, 2 usage error.
 */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "simctl.h"

static const struct {
    const char *name;
    uint32_t value;
} status_names[] = {
    {"STATUS_SUCCESS", 0x00000000u},
    {"STATUS_UNSUCCESSFUL", 0xC0000001u},
    {"STATUS_INVALID_PARAMETER", 0xC000000Du},
    {"STATUS_ACCESS_DENIED", 0xC0000022u},
    {"STATUS_BUFFER_TOO_SMALL", 0xC0000023u},
    {"STATUS_INVALID_DEVICE_REQUEST", 0xC0000010u},
    {"STATUS_NO_SUCH_DEVICE", 0xC000000Eu},
    {"STATUS_DEVICE_NOT_READY", 0xC00000A3u},
    {"STATUS_IO_TIMEOUT", 0xC00000B5u},
    {"STATUS_INSUFFICIENT_RESOURCES", 0xC000009Au},
    {"STATUS_BUFFER_OVERFLOW", 0x80000005u},
};

static void usage(void)
{
    fputs("usage: d418simctl ping | ping-board | reset | board <hexaddr> | fail <hexcode> <ntstatus>\n"
          "       | answer <hexcode> [hexbytes...] | script <hexcode> <ntstatus> [hexbytes...]\n"
          "       | last | counts | state | open <ntstatus> [exclusive] | wait-open <n> [ms]\n",
          stderr);
}

static int parse_hex(const char *s, uint32_t *out)
{
    char *end;
    unsigned long v;
    if (!*s)
        return 0;
    v = strtoul(s, &end, 16);
    if (*end)
        return 0;
    *out = (uint32_t)v;
    return 1;
}

static int parse_dec(const char *s, uint32_t *out)
{
    char *end;
    unsigned long v;
    if (!*s)
        return 0;
    v = strtoul(s, &end, 10);
    if (*end)
        return 0;
    *out = (uint32_t)v;
    return 1;
}

static int parse_status(const char *s, uint32_t *out)
{
    size_t i;
    for (i = 0; i < sizeof status_names / sizeof status_names[0]; i++) {
        if (_stricmp(s, status_names[i].name) == 0 ||
            _stricmp(s, status_names[i].name + 7) == 0) {
            *out = status_names[i].value;
            return 1;
        }
    }
    return parse_hex(s, out);
}

static int hex_digit(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = tolower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

/* Collects hex bytes from argv[0..argc-1], skipping spaces; "-" stands for
   no bytes. Returns the count, or -1 on bad input. */
static int parse_bytes(int argc, char **argv, uint8_t *out, int max)
{
    int n = 0, i, half = -1;
    for (i = 0; i < argc; i++) {
        const char *p = argv[i];
        if (strcmp(p, "-") == 0)
            continue;
        for (; *p; p++) {
            int d;
            if (isspace((unsigned char)*p))
                continue;
            d = hex_digit((unsigned char)*p);
            if (d < 0)
                return -1;
            if (half < 0) {
                half = d;
            } else {
                if (n >= max)
                    return -1;
                out[n++] = (uint8_t)(half << 4 | d);
                half = -1;
            }
        }
    }
    return half < 0 ? n : -1;
}

static int report(const char *what, int err)
{
    if (err) {
        fprintf(stderr, "d418simctl: %s failed: error %d%s\n", what, err,
                err == ERROR_FILE_NOT_FOUND ? " (simulated driver not running)" : "");
        return 1;
    }
    return 0;
}

static void print_hex(const uint8_t *p, uint32_t n)
{
    uint32_t i;
    for (i = 0; i < n; i++)
        printf("%02x", p[i]);
}

int main(int argc, char **argv)
{
    static uint8_t bytes[D418SIM_SCRIPT_MAX_DATA];
    static struct D418SIM_LAST last;
    const char *cmd;
    uint32_t a, b;
    int n;

    if (argc < 2) {
        usage();
        return 2;
    }
    cmd = argv[1];

    if (strcmp(cmd, "ping") == 0 && argc == 2) {
        struct D418SIM_STATE s;
        return report("ping", SimCtlState(&s));
    }
    if (strcmp(cmd, "ping-board") == 0 && argc == 2) {
        /* Opened the way the library opens it. */
        HANDLE h = CreateFileA("\\\\.\\D418", 0, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE)
            return report("ping-board", (int)GetLastError());
        CloseHandle(h);
        return 0;
    }
    if (strcmp(cmd, "reset") == 0 && argc == 2)
        return report("reset", SimCtlReset());
    if (strcmp(cmd, "board") == 0 && argc == 3 && parse_hex(argv[2], &a))
        return report("board", SimCtlSetBoard(a));
    if (strcmp(cmd, "fail") == 0 && argc == 4 && parse_hex(argv[2], &a) &&
        parse_status(argv[3], &b))
        return report("fail", SimCtlScriptFail(a, (int32_t)b));
    if (strcmp(cmd, "answer") == 0 && argc >= 3 && parse_hex(argv[2], &a)) {
        n = parse_bytes(argc - 3, argv + 3, bytes, sizeof bytes);
        if (n >= 0)
            return report("answer", SimCtlScriptAnswer(a, bytes, (uint32_t)n));
    }
    if (strcmp(cmd, "script") == 0 && argc >= 4 && parse_hex(argv[2], &a) &&
        parse_status(argv[3], &b)) {
        n = parse_bytes(argc - 4, argv + 4, bytes, sizeof bytes);
        if (n >= 0)
            return report("script", SimCtlScript(a, (int32_t)b, bytes, (uint32_t)n));
    }
    if (strcmp(cmd, "last") == 0 && argc == 2) {
        if (report("last", SimCtlLast(&last)))
            return 1;
        printf("requests=%u code=0x%08X in=%u out=%u status=0x%08X info=%u scripted=%u\n",
               last.requests, last.code, last.input_length, last.output_length,
               (uint32_t)last.status, last.information, last.scripted);
        printf("input=");
        print_hex(last.input, last.captured);
        printf("\n");
        return 0;
    }
    if (strcmp(cmd, "counts") == 0 && argc == 2) {
        struct D418SIM_COUNTS c;
        if (report("counts", SimCtlCounts(&c)))
            return 1;
        printf("open=%u creates=%u closes=%u refused=%u requests=%u\n", c.open, c.creates,
               c.closes, c.refused, c.requests);
        return 0;
    }
    if (strcmp(cmd, "state") == 0 && argc == 2) {
        struct D418SIM_STATE s;
        if (report("state", SimCtlState(&s)))
            return 1;
        printf("base=0x%X timeout=%u board=0x%X pending=%u pending_length=%u scripts=%u "
               "open_status=0x%08X exclusive=%u\n",
               s.base, s.timeout, s.board, s.pending, s.pending_length, s.scripts,
               (uint32_t)s.open_status, s.exclusive);
        return 0;
    }
    if (strcmp(cmd, "open") == 0 && (argc == 3 || argc == 4) && parse_status(argv[2], &a)) {
        b = 0;
        if (argc == 4 && !parse_dec(argv[3], &b)) {
            usage();
            return 2;
        }
        return report("open", SimCtlSetOpen((int32_t)a, b));
    }
    if (strcmp(cmd, "wait-open") == 0 && (argc == 3 || argc == 4) && parse_dec(argv[2], &a)) {
        b = 5000;
        if (argc == 4 && !parse_dec(argv[3], &b)) {
            usage();
            return 2;
        }
        return report("wait-open", SimCtlWaitOpen(a, b));
    }
    usage();
    return 2;
}
