#include "bench_ops.h"

#include <cstdio>
#include <vector>

#include "d418lib.h"
#include "platform.h"
#include "port_transport.h"
#include "sim_platform.h"

namespace bench {

namespace {
CheapBoard board;
uint8_t payload[kPayload];
uint8_t frame[kFrame];       // what the bare send writes
uint8_t reply[kPayload];     // where both reads put the payload
uint8_t header[4];
}  // namespace

uint8_t CheapBoard::In(uint16_t port) {
    if (port != kBase + PORT_STATUS) return 0;
    if (after_reset_) {
        after_reset_ = false;
        return STATUS_READY_PATTERN;
    }
    return STATUS_DATA_READY;
}

void CheapBoard::Out(uint16_t port, uint8_t) {
    if (port == kBase + PORT_RESET) after_reset_ = true;
}

void UsePortPath() {
    sim::P().Reset();
    sim::P().version = sim::kWindows98;
    sim::P().ports = &board;
    sim::P().record_ports = false;
    board = CheapBoard();
    D418Init(kBase);
    D418Timeout(200);
    for (int32_t i = 0; i < kPayload; i++) payload[i] = (uint8_t)(i * 7 + 1);
    // The bare send writes the frame the library builds for (w2 2, w1 1).
    frame[0] = 1, frame[1] = 0, frame[2] = 1, frame[3] = 0, frame[4] = 2, frame[5] = 0;
    for (int32_t i = 0; i < kPayload; i++) frame[6 + i] = payload[i];
}

int32_t LibrarySend() { return D418SendCommand(2, 1, payload, kPayload); }

void BareSend() {
    const uint16_t data = kBase + PORT_DATA, status = kBase + PORT_STATUS;
    PlatformPortOut(kBase + PORT_RESET, 0);
    while (PlatformPortIn(status) != STATUS_READY_PATTERN) {
    }
    for (int32_t i = 0; i < kFrame; i++) PlatformPortOut(data, frame[i]);
    PlatformPortOut(status, 0);
    PlatformPortIn(status);
}

int32_t LibraryRead(int32_t *count) { return D418ReadResponse(reply, count); }

void BareRead() {
    const uint16_t data = kBase + PORT_DATA, status = kBase + PORT_STATUS;
    PlatformPortIn(status);
    for (int i = 0; i < 4; i++) {
        PlatformPortIn(status);
        header[i] = PlatformPortIn(data);
    }
    PlatformPortIn(status);
    for (int32_t i = 0; i < kPayload; i++) {
        PlatformPortIn(status);
        reply[i] = PlatformPortIn(data);
    }
    PlatformPortIn(status);
}

void DropEvents() { sim::P().events.clear(); }

namespace {

std::vector<sim::Event> PortEvents() {
    std::vector<sim::Event> out;
    for (const sim::Event &e : sim::P().events)
        if (e.kind == sim::Ev::PortIn || e.kind == sim::Ev::PortOut) out.push_back(e);
    return out;
}

// The port accesses of one call of fn, recorded.
template <typename Fn>
std::vector<sim::Event> Record(Fn fn) {
    UsePortPath();
    sim::P().record_ports = true;
    fn();
    std::vector<sim::Event> events = PortEvents();
    UsePortPath();
    return events;
}

std::string Compare(const char *what, const std::vector<sim::Event> &lib,
                    const std::vector<sim::Event> &bare) {
    char text[200];
    if (lib.size() != bare.size()) {
        snprintf(text, sizeof text, "%s: library %zu port accesses, bare %zu\n", what,
                 lib.size(), bare.size());
        return text;
    }
    for (size_t i = 0; i < lib.size(); i++) {
        if (lib[i].kind != bare[i].kind || lib[i].a != bare[i].a || lib[i].b != bare[i].b) {
            snprintf(text, sizeof text, "%s: access %zu differs\n", what, i);
            return text;
        }
    }
    return "";
}

}  // namespace

std::string CheckSameAccesses() {
    std::string problems;
    int32_t send_result = -1, read_result = -1, count = -1;
    auto lib_send = Record([&] { send_result = LibrarySend(); });
    auto bare_send = Record([] { BareSend(); });
    auto lib_read = Record([&] { read_result = LibraryRead(&count); });
    auto bare_read = Record([] { BareRead(); });
    if (send_result != 0) problems += "D418SendCommand did not return 0\n";
    if (read_result != 0 || count != kPayload)
        problems += "D418ReadResponse did not return 0 with 4092 bytes\n";
    if (lib_send.size() != (size_t)kFrame + 4)
        problems += "D418SendCommand did not make 1 + 1 + 4098 + 1 + 1 accesses\n";
    problems += Compare("send", lib_send, bare_send);
    problems += Compare("read", lib_read, bare_read);
    return problems;
}

}  // namespace bench
