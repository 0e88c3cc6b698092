/*
 * d418sim_test.c - checks the running simulated D418 driver: the board
 * model's default answers on "\\.\D418" and every request of the control
 * device "\\.\D418Sim", through the same Win32 calls the library makes.
 *
 * Prints "name: expected X got Y" for each failed check and ends with
 * "N passed, M failed". Exit status 0 only when all pass.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "simctl.h"

/* NTSTATUS values used below (not all toolchains declare them in user mode). */
#define ST_UNSUCCESSFUL 0xC0000001u
#define ST_INVALID_PARAMETER 0xC000000Du
#define ST_ACCESS_DENIED 0xC0000022u
#define ST_DEVICE_NOT_READY 0xC00000A3u
#define ST_IO_TIMEOUT 0xC00000B5u
#define ST_BUFFER_OVERFLOW 0x80000005u

#define OUT_FILL 0xEE
#define BOARD_PATH "\\\\.\\D418"

static int passed, failed;

static void check(const char *name, unsigned long long expected, unsigned long long got)
{
    if (expected == got) {
        passed++;
    } else {
        failed++;
        printf("%s: expected %llu (0x%llX) got %llu (0x%llX)\n", name, expected, expected, got,
               got);
    }
}

static void check_bytes(const char *name, const void *expected, const void *got, size_t n)
{
    size_t i;
    const unsigned char *e = expected, *g = got;
    for (i = 0; i < n; i++) {
        if (e[i] != g[i]) {
            failed++;
            printf("%s: expected byte %u = 0x%02X got 0x%02X\n", name, (unsigned)i, e[i], g[i]);
            return;
        }
    }
    passed++;
}

static void check_ok(const char *name, int err)
{
    check(name, 0, (unsigned)err);
}

/* One DeviceIoControl and what came back of it. */
struct result {
    BOOL ok;
    DWORD error; /* GetLastError when !ok */
    DWORD got;   /* bytes returned (left at GOT_UNSET when not written) */
    unsigned char out[8192];
};
#define GOT_UNSET 0xDEADBEEFu

static struct result r; /* large: kept off the stack */

static HANDLE open_board(void)
{
    return CreateFileA(BOARD_PATH, 0, 0, NULL, OPEN_EXISTING, 0, NULL);
}

static void call(HANDLE h, DWORD code, const void *in, DWORD in_len, DWORD out_len)
{
    memset(r.out, OUT_FILL, sizeof r.out);
    r.got = GOT_UNSET;
    SetLastError(0);
    r.ok = DeviceIoControl(h, code, (void *)in, in_len, out_len ? r.out : NULL, out_len, &r.got,
                           NULL);
    r.error = r.ok ? 0 : GetLastError();
}

static void call_u32(HANDLE h, DWORD code, uint32_t v)
{
    call(h, code, &v, sizeof v, 0);
}

/* Sends a frame with `len` payload bytes (value i & 0xFF at i). */
static unsigned char frame[8300];
static void send_frame(HANDLE h, uint32_t len, DWORD out_len)
{
    uint32_t i;
    frame[0] = 1;
    frame[1] = 0;
    frame[2] = 0x34; /* w1 */
    frame[3] = 0x12;
    frame[4] = 0x78; /* w2 */
    frame[5] = 0x56;
    for (i = 0; i < len; i++)
        frame[6 + i] = (unsigned char)(i * 7 + 3);
    call(h, D418SIM_BOARD_SEND_COMMAND, frame, 6 + len, out_len);
}

static void expect_ack(const char *name, uint32_t status_word)
{
    char buf[128];
    unsigned char ack[4] = {0, 0, (unsigned char)status_word, (unsigned char)(status_word >> 8)};
    snprintf(buf, sizeof buf, "%s ok", name);
    check(buf, 1, r.ok);
    snprintf(buf, sizeof buf, "%s length", name);
    check(buf, 4, r.got);
    snprintf(buf, sizeof buf, "%s bytes", name);
    check_bytes(buf, ack, r.out, 4);
}

static void expect_fail(const char *name, DWORD error)
{
    char buf[128];
    snprintf(buf, sizeof buf, "%s ok", name);
    check(buf, 0, r.ok);
    snprintf(buf, sizeof buf, "%s GetLastError", name);
    check(buf, error, r.error);
}

static void expect_empty_success(const char *name)
{
    char buf[128];
    snprintf(buf, sizeof buf, "%s ok", name);
    check(buf, 1, r.ok);
    snprintf(buf, sizeof buf, "%s length", name);
    check(buf, 0, r.got);
}

static void test_defaults(HANDLE h)
{
    struct D418SIM_STATE s;
    check_ok("reset", SimCtlReset());
    check_ok("state", SimCtlState(&s));
    check("default base", 0x300, s.base);
    check("default timeout", 200, s.timeout);
    check("default board", 0x300, s.board);
    check("default pending", 0, s.pending);

    call_u32(h, D418SIM_BOARD_INIT, 0x280);
    expect_empty_success("init 0x280");
    call_u32(h, D418SIM_BOARD_TIMEOUT, 500);
    expect_empty_success("timeout 500");
    SimCtlState(&s);
    check("base after init", 0x280, s.base);
    check("timeout after timeout", 500, s.timeout);

    call(h, D418SIM_BOARD_RESET, NULL, 0, 4);
    expect_ack("reset at wrong base", D418SIM_STATUS_NOT_FOUND);
    send_frame(h, 3, 4);
    expect_ack("send at wrong base", D418SIM_STATUS_NOT_FOUND);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    expect_fail("read after refused send", ERROR_SEM_TIMEOUT);

    call_u32(h, D418SIM_BOARD_INIT, 0x300);
    call(h, D418SIM_BOARD_RESET, NULL, 0, 4);
    expect_ack("reset at board", 0);

    call(h, D418SIM_BOARD_SEND_COMMAND, frame, 5, 4);
    expect_fail("send of 5 bytes", ERROR_INVALID_PARAMETER);
    call(h, 0xD4182500u, NULL, 0, 4);
    expect_fail("unknown code", ERROR_INVALID_FUNCTION);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    expect_fail("read with nothing pending", ERROR_SEM_TIMEOUT);
}

/* Echo of payloads of several lengths, including none and more than a
   reply can carry. */
static void test_echo(HANDLE h)
{
    static const uint32_t lengths[] = {0, 1, 3, 4, 100, 4092, 4093, 8000};
    static unsigned char expected[4096];
    size_t i;
    char name[96];

    for (i = 0; i < sizeof lengths / sizeof lengths[0]; i++) {
        uint32_t len = lengths[i];
        uint32_t echoed = len > D418SIM_MAX_PAYLOAD ? D418SIM_MAX_PAYLOAD : len;

        send_frame(h, len, 4);
        snprintf(name, sizeof name, "send %u", len);
        expect_ack(name, 0);

        call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
        snprintf(name, sizeof name, "echo %u ok", len);
        check(name, 1, r.ok);
        snprintf(name, sizeof name, "echo %u length", len);
        check(name, 4 + echoed, r.got);
        memset(expected, 0, 4);
        memcpy(expected + 4, frame + 6, echoed);
        snprintf(name, sizeof name, "echo %u bytes", len);
        check_bytes(name, expected, r.out, 4 + echoed);

        call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
        snprintf(name, sizeof name, "second read after echo %u", len);
        expect_fail(name, ERROR_SEM_TIMEOUT);
    }
}

static void test_set_board(HANDLE h)
{
    struct D418SIM_STATE s;
    check_ok("set board", SimCtlSetBoard(0x2A0));
    SimCtlState(&s);
    check("board after set", 0x2A0, s.board);
    call(h, D418SIM_BOARD_RESET, NULL, 0, 4);
    expect_ack("reset, board moved away", D418SIM_STATUS_NOT_FOUND);
    call_u32(h, D418SIM_BOARD_INIT, 0x2A0);
    call(h, D418SIM_BOARD_RESET, NULL, 0, 4);
    expect_ack("reset, base follows board", 0);
    SimCtlReset();
}

/* Scripted failures come back as the Win32 error of their NTSTATUS. */
static void test_script_fail(HANDLE h)
{
    static const struct {
        uint32_t code;
        uint32_t status;
        DWORD error;
    } cases[] = {
        {D418SIM_BOARD_READ_RESPONSE, ST_IO_TIMEOUT, 121},
        {D418SIM_BOARD_SEND_COMMAND, ST_INVALID_PARAMETER, 87},
        {D418SIM_BOARD_RESET, ST_DEVICE_NOT_READY, 21},
        {D418SIM_BOARD_INIT, ST_UNSUCCESSFUL, 31},
        {D418SIM_BOARD_TIMEOUT, ST_ACCESS_DENIED, 5},
    };
    struct D418SIM_LAST *last = malloc(sizeof *last);
    size_t i;
    char name[96];

    SimCtlReset();
    for (i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        snprintf(name, sizeof name, "arm fail 0x%08X/0x%08X", cases[i].code, cases[i].status);
        check_ok(name, SimCtlScriptFail(cases[i].code, (int32_t)cases[i].status));
        send_frame(h, 2, 4); /* would succeed from the model */
        if (cases[i].code == D418SIM_BOARD_SEND_COMMAND) {
            snprintf(name, sizeof name, "scripted 0x%08X", cases[i].status);
            expect_fail(name, cases[i].error);
        } else {
            expect_ack("unmatched code left to the model", 0);
            call(h, cases[i].code, frame, 4, 4096);
            snprintf(name, sizeof name, "scripted 0x%08X", cases[i].status);
            expect_fail(name, cases[i].error);
        }
        SimCtlLast(last);
        snprintf(name, sizeof name, "last status 0x%08X", cases[i].status);
        check(name, cases[i].status, (uint32_t)last->status);
        check("last scripted", 1, last->scripted);
    }
    /* Code 0 matches whatever comes next. */
    SimCtlScriptFail(D418SIM_ANY_CODE, (int32_t)ST_DEVICE_NOT_READY);
    call_u32(h, D418SIM_BOARD_TIMEOUT, 9);
    expect_fail("any-code fail", 21);
    call_u32(h, D418SIM_BOARD_TIMEOUT, 9);
    expect_empty_success("any-code fail is one-shot");
    free(last);
}

static void test_script_answer(HANDLE h)
{
    static const struct {
        uint32_t code;
        uint32_t len;     /* bytes armed */
        DWORD out_len;    /* output buffer given */
        uint32_t expected; /* bytes returned */
    } cases[] = {
        {D418SIM_BOARD_READ_RESPONSE, 0, 4096, 0},
        {D418SIM_BOARD_READ_RESPONSE, 1, 4096, 1},
        {D418SIM_BOARD_READ_RESPONSE, 3, 4096, 3},
        {D418SIM_BOARD_READ_RESPONSE, 4, 4096, 4},
        {D418SIM_BOARD_READ_RESPONSE, 4096, 4096, 4096},
        {D418SIM_BOARD_READ_RESPONSE, 4096, 100, 100},
        {D418SIM_BOARD_RESET, 2, 4, 2},
        {D418SIM_BOARD_RESET, 10, 4, 4},
        {D418SIM_BOARD_SEND_COMMAND, 0, 4, 0},
        {D418SIM_BOARD_INIT, 5, 0, 0},
    };
    static unsigned char data[4096];
    size_t i, j;
    char name[96];

    SimCtlReset();
    for (i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        for (j = 0; j < cases[i].len; j++)
            data[j] = (unsigned char)(j * 13 + i);
        snprintf(name, sizeof name, "arm answer 0x%08X/%u", cases[i].code, cases[i].len);
        check_ok(name, SimCtlScriptAnswer(cases[i].code, data, cases[i].len));
        call(h, cases[i].code, frame, cases[i].code == D418SIM_BOARD_SEND_COMMAND ? 10 : 4,
             cases[i].out_len);
        snprintf(name, sizeof name, "answer 0x%08X/%u/%lu ok", cases[i].code, cases[i].len,
                 (unsigned long)cases[i].out_len);
        check(name, 1, r.ok);
        snprintf(name, sizeof name, "answer 0x%08X/%u/%lu length", cases[i].code, cases[i].len,
                 (unsigned long)cases[i].out_len);
        check(name, cases[i].expected, r.got);
        snprintf(name, sizeof name, "answer 0x%08X/%u/%lu bytes", cases[i].code, cases[i].len,
                 (unsigned long)cases[i].out_len);
        check_bytes(name, data, r.out, cases[i].expected);
        if (cases[i].out_len > cases[i].expected)
            check("byte past the answer untouched", OUT_FILL, r.out[cases[i].expected]);
    }

    /* Too long an answer is refused. */
    {
        static unsigned char big[4097];
        check("4097-byte answer refused", ERROR_INVALID_PARAMETER,
              (unsigned)SimCtlScript(0, 0, big, sizeof big));
    }
}

/* Armed answers wait in order, each for its own code. */
static void test_script_queue(HANDLE h)
{
    static const unsigned char a[] = {0xA1}, b[] = {0xB1, 0xB2}, c[] = {0xC1, 0xC2, 0xC3};
    struct D418SIM_STATE s;
    uint32_t i;
    int err = 0;

    SimCtlReset();
    SimCtlScriptAnswer(D418SIM_BOARD_READ_RESPONSE, a, sizeof a);
    SimCtlScriptAnswer(D418SIM_BOARD_READ_RESPONSE, b, sizeof b);
    SimCtlScriptAnswer(D418SIM_BOARD_RESET, c, sizeof c);
    SimCtlState(&s);
    check("scripts queued", 3, s.scripts);

    call(h, D418SIM_BOARD_RESET, NULL, 0, 4);
    check("queue: reset gets its own", 3, r.got);
    check_bytes("queue: reset bytes", c, r.out, sizeof c);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    check("queue: first read", 1, r.got);
    check_bytes("queue: first read bytes", a, r.out, sizeof a);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    check("queue: second read", 2, r.got);
    check_bytes("queue: second read bytes", b, r.out, sizeof b);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    expect_fail("queue: third read from the model", ERROR_SEM_TIMEOUT);

    for (i = 0; i < D418SIM_SCRIPT_SLOTS; i++)
        err |= SimCtlScriptFail(D418SIM_BOARD_INIT, (int32_t)ST_UNSUCCESSFUL);
    check_ok("fill the queue", err);
    check("arm past a full queue", ERROR_NO_SYSTEM_RESOURCES,
          (unsigned)SimCtlScriptFail(D418SIM_BOARD_INIT, (int32_t)ST_UNSUCCESSFUL));
    SimCtlReset();
    SimCtlState(&s);
    check("reset empties the queue", 0, s.scripts);
}

/* What Wine hands back when a request completes with a non-success status
   and a byte count. */
static void test_status_with_bytes(HANDLE h)
{
    static const unsigned char five[] = {1, 2, 3, 4, 5};

    SimCtlReset();
    SimCtlScript(D418SIM_BOARD_READ_RESPONSE, (int32_t)ST_IO_TIMEOUT, five, sizeof five);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    expect_fail("error with bytes", ERROR_SEM_TIMEOUT);
    check("error with bytes: output untouched", OUT_FILL, r.out[0]);

    SimCtlScript(D418SIM_BOARD_READ_RESPONSE, (int32_t)ST_BUFFER_OVERFLOW, five, sizeof five);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    expect_fail("warning with bytes", ERROR_MORE_DATA);
    check("warning with bytes: count", 5, r.got);
    check_bytes("warning with bytes: data", five, r.out, sizeof five);
}

static void test_last(HANDLE h)
{
    struct D418SIM_LAST *last = malloc(sizeof *last);

    SimCtlReset();
    check_ok("last after reset", SimCtlLast(last));
    check("last requests after reset", 0, last->requests);
    check("last code after reset", 0, last->code);

    send_frame(h, 4, 4);
    SimCtlLast(last);
    check("last requests", 1, last->requests);
    check("last code", D418SIM_BOARD_SEND_COMMAND, last->code);
    check("last input length", 10, last->input_length);
    check("last output length", 4, last->output_length);
    check("last captured", 10, last->captured);
    check_bytes("last input", frame, last->input, 10);
    check("last status", 0, (uint32_t)last->status);
    check("last information", 4, last->information);
    check("last scripted", 0, last->scripted);

    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    SimCtlLast(last);
    check("last requests counts", 2, last->requests);
    check("read last input length", 0, last->input_length);
    check("read last output length", 4096, last->output_length);
    check("read last information", 8, last->information);

    /* Input past the record's room is counted but not all kept. */
    send_frame(h, 8200 - 6, 4);
    SimCtlLast(last);
    check("long input length", 8200, last->input_length);
    check("long input captured", D418SIM_LAST_MAX_INPUT, last->captured);
    check_bytes("long input bytes", frame, last->input, D418SIM_LAST_MAX_INPUT);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    free(last);
}

static void test_counts(void)
{
    struct D418SIM_COUNTS before, c;
    HANDLE a, b;

    SimCtlReset();
    check_ok("settle open handles", SimCtlWaitOpen(1, 2000)); /* the test's own */
    SimCtlCounts(&before);
    a = open_board();
    b = open_board(); /* same flags: no sharing */
    check("second no-share open", 1, b != INVALID_HANDLE_VALUE);
    SimCtlCounts(&c);
    check("open with two more", before.open + 2, c.open);
    check("creates with two more", before.creates + 2, c.creates);
    CloseHandle(a);
    if (b != INVALID_HANDLE_VALUE)
        CloseHandle(b);
    check_ok("open back after close", SimCtlWaitOpen(before.open, 2000));
    SimCtlCounts(&c);
    check("closes with two more", before.closes + 2, c.closes);
    check("creates - closes", c.open, c.creates - c.closes);
}

/* A refused open: depending on the host, CreateFile fails or the handle's
   first request does; either way with the refusal's Win32 error. */
static void expect_refused(const char *name, HANDLE h, DWORD open_error, DWORD error)
{
    char buf[128];
    if (h == INVALID_HANDLE_VALUE) {
        snprintf(buf, sizeof buf, "%s: CreateFile error", name);
        check(buf, error, open_error);
        return;
    }
    call(h, D418SIM_BOARD_RESET, NULL, 0, 4);
    snprintf(buf, sizeof buf, "%s: request", name);
    expect_fail(buf, error);
    CloseHandle(h);
}

static void test_open_policy(HANDLE mine)
{
    struct D418SIM_COUNTS before, c;
    struct D418SIM_STATE s;
    HANDLE h;
    DWORD err;

    SimCtlReset();
    SimCtlWaitOpen(1, 2000);
    SimCtlCounts(&before);

    check_ok("deny opens", SimCtlSetOpen((int32_t)ST_DEVICE_NOT_READY, 0));
    h = open_board();
    err = GetLastError();
    expect_refused("denied open", h, err, 21);
    SimCtlCounts(&c);
    check("denied open refused", before.refused + 1, c.refused);
    check("denied open not counted open", before.open, c.open);
    call(mine, D418SIM_BOARD_RESET, NULL, 0, 4);
    expect_ack("earlier handle still works", 0);

    check_ok("exclusive opens", SimCtlSetOpen(0, 1));
    SimCtlState(&s);
    check("state shows exclusive", 1, s.exclusive);
    h = open_board();
    err = GetLastError();
    expect_refused("second exclusive open", h, err, ERROR_ACCESS_DENIED);
    SimCtlWaitOpen(before.open, 2000);
    SimCtlCounts(&c);
    check("closing a refused handle is no close", before.closes, c.closes);

    SimCtlReset();
    h = open_board();
    call(h, D418SIM_BOARD_RESET, NULL, 0, 4);
    expect_ack("reset restores shared opens", 0);
    CloseHandle(h);
}

static void test_reset(HANDLE h)
{
    struct D418SIM_STATE s;
    struct D418SIM_LAST *last = malloc(sizeof *last);

    SimCtlSetBoard(0x250);
    call_u32(h, D418SIM_BOARD_INIT, 0x250);
    call_u32(h, D418SIM_BOARD_TIMEOUT, 7);
    send_frame(h, 3, 4);
    SimCtlScriptFail(0, (int32_t)ST_UNSUCCESSFUL);
    SimCtlSetOpen((int32_t)ST_UNSUCCESSFUL, 1);
    SimCtlState(&s);
    check("before reset: pending", 1, s.pending);
    check("before reset: pending length", 3, s.pending_length);

    check_ok("reset", SimCtlReset());
    SimCtlState(&s);
    SimCtlLast(last);
    check("reset: base", 0x300, s.base);
    check("reset: timeout", 200, s.timeout);
    check("reset: board", 0x300, s.board);
    check("reset: pending", 0, s.pending);
    check("reset: scripts", 0, s.scripts);
    check("reset: open status", 0, (uint32_t)s.open_status);
    check("reset: exclusive", 0, s.exclusive);
    check("reset: last requests", 0, last->requests);
    call(h, D418SIM_BOARD_READ_RESPONSE, NULL, 0, 4096);
    expect_fail("reset: reply forgotten", ERROR_SEM_TIMEOUT);
    free(last);
}

int main(void)
{
    HANDLE h;

    setvbuf(stdout, NULL, _IONBF, 0);
    if (SimCtlReset() != 0) {
        printf("control device: expected it to answer got error %d\n", SimCtlReset());
        printf("0 passed, 1 failed\n");
        return 1;
    }
    h = open_board();
    if (h == INVALID_HANDLE_VALUE) {
        printf("open " BOARD_PATH ": expected a handle got error %lu\n",
               (unsigned long)GetLastError());
        printf("0 passed, 1 failed\n");
        return 1;
    }

    test_defaults(h);
    test_echo(h);
    test_set_board(h);
    test_script_fail(h);
    test_script_answer(h);
    test_script_queue(h);
    test_status_with_bytes(h);
    test_last(h);
    test_counts();
    test_open_policy(h);
    test_reset(h);

    CloseHandle(h);
    SimCtlReset();
    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
