/*
 * bench_driver.exe - the driver path's send, timed under Wine against the
 * simulated driver (which must be running):
 *
 *   one request   D418SendCommand with a 4092-byte payload: the library
 *                 hands the whole 4098-byte frame to the driver at once
 *   per byte      the design of generic port-I/O libraries on the NT family:
 *                 one driver request per frame byte, 4098 requests, each a
 *                 4-byte input (port, value) and no output, made here with
 *                 the board device's TIMEOUT code, which the simulated
 *                 driver answers without further work
 *
 *   bench_driver [SENDS [ROUNDS]]    (defaults 200 and 5)
 *
 * Prints the median and mean time of each and their ratio, then lines for
 * scripts/bench:
 *   one_request_us <median>
 *   per_byte_us <median>
 *   ratio <per byte / one request>
 * Exits 1 if a request fails or the driver did not see what was meant.
 */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "d418lib.h"
#include "simctl.h"

#define PAYLOAD 4092
#define FRAME (PAYLOAD + 6)

static LARGE_INTEGER frequency;

static double now_us(void) {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1e6 / (double)frequency.QuadPart;
}

static int by_value(const void *a, const void *b) {
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

static void summary(double *times, int n, double *median, double *mean) {
    double sum = 0;
    int i;
    for (i = 0; i < n; i++) sum += times[i];
    *mean = sum / n;
    qsort(times, (size_t)n, sizeof *times, by_value);
    *median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

static int fail(const char *what) {
    fprintf(stderr, "bench_driver: %s\n", what);
    return 1;
}

/* Board requests the driver has seen. */
static int requests(uint32_t *n) {
    struct D418SIM_COUNTS counts;
    if (SimCtlCounts(&counts) != 0) return 0;
    *n = counts.requests;
    return 1;
}

int main(int argc, char **argv) {
    int sends = argc > 1 ? atoi(argv[1]) : 200;
    int rounds = argc > 2 ? atoi(argv[2]) : 5;
    static uint8_t payload[PAYLOAD];
    double *send_times, *byte_times, send_median, send_mean, byte_median, byte_mean;
    struct D418SIM_LAST last;
    uint32_t before, after;
    HANDLE device;
    int i, r;

    if (sends < 1 || rounds < 1) return fail("SENDS and ROUNDS must be at least 1");
    send_times = malloc(sizeof(double) * (size_t)sends);
    byte_times = malloc(sizeof(double) * (size_t)rounds);
    if (!send_times || !byte_times) return fail("out of memory");
    QueryPerformanceFrequency(&frequency);
    for (i = 0; i < PAYLOAD; i++) payload[i] = (uint8_t)(i * 7 + 1);

    if (SimCtlReset() != 0) return fail("the simulated driver does not answer");
    if (D418Init(0x300) != 0 || D418Reset() != 0) return fail("D418Init or D418Reset failed");

    /* One request: the library's send, checked once at the driver. */
    if (D418SendCommand(2, 1, payload, PAYLOAD) != 0) return fail("D418SendCommand failed");
    if (SimCtlLast(&last) != 0 || last.code != D418SIM_BOARD_SEND_COMMAND ||
        last.input_length != FRAME || last.scripted)
        return fail("the driver did not see one 4098-byte send request");
    if (!requests(&before)) return fail("cannot read the driver's counts");
    for (i = 0; i < sends; i++) {
        double t0 = now_us();
        int32_t result = D418SendCommand(2, 1, payload, PAYLOAD);
        send_times[i] = now_us() - t0;
        if (result != 0) return fail("D418SendCommand failed");
    }
    if (!requests(&after) || after - before != (uint32_t)sends)
        return fail("the sends did not make one request each");

    /* Per byte: a handle of its own on the same device (opens are shared). */
    device = CreateFileA("\\\\.\\D418", 0, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (device == INVALID_HANDLE_VALUE) return fail("cannot open \\\\.\\D418");
    for (r = 0; r < rounds; r++) {
        double t0;
        if (!requests(&before)) return fail("cannot read the driver's counts");
        t0 = now_us();
        for (i = 0; i < FRAME; i++) {
            uint8_t input[4] = {0x00, 0x03, (uint8_t)(i * 7 + 1), 0};
            DWORD returned = 0;
            if (!DeviceIoControl(device, D418SIM_BOARD_TIMEOUT, input, sizeof input, NULL, 0,
                                 &returned, NULL))
                return fail("a per-byte request failed");
        }
        byte_times[r] = now_us() - t0;
        if (!requests(&after) || after - before != FRAME)
            return fail("a per-byte round did not make 4098 requests");
    }
    CloseHandle(device);
    SimCtlReset();

    summary(send_times, sends, &send_median, &send_mean);
    summary(byte_times, rounds, &byte_median, &byte_mean);
    printf("one request (D418SendCommand, 4092-byte payload): median %.1f us, mean %.1f us, %d sends\n",
           send_median, send_mean, sends);
    printf("per byte (4098 requests): median %.1f us, mean %.1f us, %d rounds (%.2f us per request)\n",
           byte_median, byte_mean, rounds, byte_median / FRAME);
    printf("one_request_us %.3f\n", send_median);
    printf("per_byte_us %.3f\n", byte_median);
    printf("ratio %.2f\n", byte_median / send_median);
    return 0;
}
