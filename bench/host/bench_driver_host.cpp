// The board driver's request handling on the host: its cost per byte
// against bare loops that make the same port accesses through the same
// platform functions, and the time of one request for each operation.
//
//   bench_driver_host [ROUNDS]     (default 301)
//
// Prints a table, then lines for scripts/bench:
//   driver_ratio send|read <driver/bare>   (medians of paired rounds)
//   driver_request <operation> <ns>        (median time of one request)
// Nothing is asserted on time. Exits 1 if a request does not give what is
// meant or a bare loop does not make the request's exact accesses.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "port_device.h"
#include "requests.h"
#include "sim_platform.h"

namespace {

constexpr uint16_t kBase = 0x300;
constexpr uint32_t kPayload = 4092;
constexpr uint32_t kFrame = kPayload + 6;

// A board that costs next to nothing: ready on the first status read after
// a reset; every other status read shows DataReady only, so a frame is
// taken at once and a reply of any length is there; data reads give 0.
class CheapBoard : public sim::PortDevice {
public:
    uint8_t In(uint16_t port) override {
        if (port == kBase + 1) {
            if (after_reset_) {
                after_reset_ = false;
                return 0xEE;
            }
            return 0x01;
        }
        return 0;
    }
    void Out(uint16_t port, uint8_t value) override {
        if (port == kBase + 3 && value == 0) after_reset_ = true;
    }

private:
    bool after_reset_ = false;
};

CheapBoard board;
std::vector<uint8_t> buffer(kFrame > D418_REPLY_MAX ? kFrame : D418_REPLY_MAX);

int32_t Request(uint32_t code, uint32_t input, uint32_t output, uint32_t *answered) {
    return D418HandleRequest(code, buffer.data(), input, output, answered);
}

int32_t DriverSend() {
    uint32_t answered;
    buffer[0] = 1;
    return Request(IOCTL_D418_SEND_COMMAND, kFrame, D418_ACK_SIZE, &answered);
}

// A reply of 4 header bytes and kPayload payload bytes is there at once;
// the payload stops at its bound.
int32_t DriverRead(uint32_t *answered) {
    return Request(IOCTL_D418_READ_RESPONSE, 0, D418_REPLY_MAX, answered);
}

void BareSend() {
    PlatformPortOut(kBase + 3, 0);
    while (PlatformPortIn(kBase + 1) != 0xEE) {
    }
    for (uint32_t i = 0; i < kFrame; i++) PlatformPortOut(kBase, buffer[i]);
    PlatformPortOut(kBase + 1, 0);
    (void)PlatformPortIn(kBase + 1);
}

void BareRead() {
    (void)PlatformPortIn(kBase + 1);
    uint8_t header[4];
    for (int i = 0; i < 4; i++) {
        (void)PlatformPortIn(kBase + 1);
        header[i] = PlatformPortIn(kBase);
    }
    (void)PlatformPortIn(kBase + 1);
    for (uint32_t i = 0; i < kPayload; i++) {
        (void)PlatformPortIn(kBase + 1);
        buffer[4 + i] = PlatformPortIn(kBase);
    }
    (void)PlatformPortIn(kBase + 1);
    memcpy(buffer.data(), header, 2);
}

std::string Accesses(void (*run)()) {
    sim::P().events.clear();
    sim::P().record_ports = true;
    run();
    sim::P().record_ports = false;
    std::string trace = sim::PortTrace();
    sim::P().events.clear();
    return trace;
}

template <class F>
double Nanoseconds(F &&f, int reps) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < reps; i++) f();
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / reps;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
    int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 301;
    sim::P().Reset();
    sim::P().ports = &board;
    D418RequestsReset();

    // The bare loops make exactly the requests' accesses.
    std::string send_driver = Accesses([] { DriverSend(); });
    std::string send_bare = Accesses(BareSend);
    std::string read_driver = Accesses([] { uint32_t n; DriverRead(&n); });
    std::string read_bare = Accesses(BareRead);
    uint32_t answered = 0;
    bool ok = send_driver == send_bare && read_driver == read_bare &&
              DriverSend() == D418_STATUS_SUCCESS &&
              DriverRead(&answered) == D418_STATUS_SUCCESS && answered == D418_REPLY_MAX;
    if (!ok) {
        fprintf(stderr, "bench_driver_host: a request or a bare loop is not what is meant\n");
        return 1;
    }

    // Paired rounds: the driver and its bare loop back to back.
    std::vector<double> send_ratio, read_ratio, send_ns, send_bare_ns, read_ns, read_bare_ns;
    for (int r = 0; r < rounds; r++) {
        double d = Nanoseconds([] { DriverSend(); }, 20);
        double b = Nanoseconds(BareSend, 20);
        send_ns.push_back(d), send_bare_ns.push_back(b), send_ratio.push_back(d / b);
        d = Nanoseconds([] { uint32_t n; DriverRead(&n); }, 20);
        b = Nanoseconds(BareRead, 20);
        read_ns.push_back(d), read_bare_ns.push_back(b), read_ratio.push_back(d / b);
    }

    // One request per operation.
    struct Op {
        const char *name;
        uint32_t code, input, output;
    };
    const Op ops[] = {{"INIT", IOCTL_D418_INIT, 4, 0},
                      {"TIMEOUT", IOCTL_D418_TIMEOUT, 4, 0},
                      {"RESET", IOCTL_D418_RESET, 0, 4},
                      {"SEND_COMMAND", IOCTL_D418_SEND_COMMAND, kFrame, 4},
                      {"READ_RESPONSE", IOCTL_D418_READ_RESPONSE, 0, D418_REPLY_MAX}};
    std::vector<double> op_ns[5];
    for (int r = 0; r < rounds; r++) {
        for (int i = 0; i < 5; i++) {
            const Op &op = ops[i];
            op_ns[i].push_back(Nanoseconds(
                [&] {
                    if (op.code == IOCTL_D418_INIT || op.code == IOCTL_D418_TIMEOUT) {
                        buffer[0] = 0x00, buffer[1] = 0x03, buffer[2] = 0, buffer[3] = 0;
                        if (op.code == IOCTL_D418_TIMEOUT) buffer[0] = 200, buffer[1] = 0;
                    } else if (op.code == IOCTL_D418_SEND_COMMAND) {
                        buffer[0] = 1;
                    }
                    uint32_t n;
                    Request(op.code, op.input, op.output, &n);
                },
                5));
        }
    }

    printf("%-32s %12s %12s %10s\n", "figure (median)", "driver", "bare", "ratio");
    printf("%-32s %9.1f ns %9.1f ns %10.4f\n", "send 4098-byte frame", Median(send_ns),
           Median(send_bare_ns), Median(send_ratio));
    printf("%-32s %9.3f ns %9.3f ns\n", "  per frame byte", Median(send_ns) / kFrame,
           Median(send_bare_ns) / kFrame);
    printf("%-32s %9.1f ns %9.1f ns %10.4f\n", "read 4092-byte reply", Median(read_ns),
           Median(read_bare_ns), Median(read_ratio));
    printf("%-32s %9.3f ns %9.3f ns\n", "  per reply byte", Median(read_ns) / D418_REPLY_MAX,
           Median(read_bare_ns) / D418_REPLY_MAX);
    for (int i = 0; i < 5; i++)
        printf("%-32s %9.1f ns\n", (std::string("one ") + ops[i].name + " request").c_str(),
               Median(op_ns[i]));
    printf("driver_ratio send %.4f\n", Median(send_ratio));
    printf("driver_ratio read %.4f\n", Median(read_ratio));
    for (int i = 0; i < 5; i++) printf("driver_request %s %.1f\n", ops[i].name, Median(op_ns[i]));
    return 0;
}
