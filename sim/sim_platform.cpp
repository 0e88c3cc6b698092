#include "sim_platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace sim {

Platform &P() {
    static Platform platform;
    return platform;
}

static void Record(Ev kind, uint32_t a, uint32_t b = 0) {
    P().events.push_back(Event{kind, a, b});
}

static std::string Render(const Event &e) {
    char text[96];
    switch (e.kind) {
    case Ev::GetVersion: return "GetVersion";
    case Ev::PortIn: snprintf(text, sizeof text, "in %04X = %02X", e.a, e.b); break;
    case Ev::PortOut: snprintf(text, sizeof text, "out %04X, %02X", e.a, e.b); break;
    case Ev::Sleep: snprintf(text, sizeof text, "Sleep %u", e.a); break;
    case Ev::SetLastError: snprintf(text, sizeof text, "SetLastError %u", e.a); break;
    case Ev::Alloc: snprintf(text, sizeof text, "Alloc %u", e.a); break;
    case Ev::Free: return "Free";
    case Ev::CreateFile: return "CreateFile";
    case Ev::CloseHandle: return "CloseHandle";
    case Ev::Ioctl: snprintf(text, sizeof text, "DeviceIoControl %08X", e.a); break;
    }
    return text;
}

static bool Same(const Event &x, const Event &y) {
    return x.kind == y.kind && x.a == y.a && x.b == y.b;
}

std::string Trace(const std::vector<Ev> &kinds) {
    std::vector<Event> kept;
    for (const Event &e : P().events) {
        bool keep = kinds.empty();
        for (Ev k : kinds) keep = keep || k == e.kind;
        if (keep) kept.push_back(e);
    }
    std::string out;
    size_t i = 0;
    while (i < kept.size()) {
        // Fold a run of one event, or of a pair of events, repeated.
        size_t best_period = 0, best_reps = 1;
        for (size_t period = 1; period <= 2 && i + period <= kept.size(); period++) {
            size_t reps = 1;
            while (i + (reps + 1) * period <= kept.size()) {
                bool same = true;
                for (size_t k = 0; k < period; k++)
                    same = same && Same(kept[i + k], kept[i + reps * period + k]);
                if (!same) break;
                reps++;
            }
            if (reps > 1 && (best_period == 0 || reps * period > best_reps * best_period)) {
                best_period = period;
                best_reps = reps;
            }
        }
        if (best_period == 0 || best_reps * best_period < 8) {
            out += Render(kept[i]) + "\n";
            i++;
            continue;
        }
        for (size_t k = 0; k < best_period; k++) out += Render(kept[i + k]) + "\n";
        out += "  x" + std::to_string(best_reps) + "\n";
        i += best_period * best_reps;
    }
    return out;
}

std::string PortTrace() { return Trace({Ev::PortIn, Ev::PortOut, Ev::Sleep}); }

size_t Count(Ev kind) {
    size_t n = 0;
    for (const Event &e : P().events) n += e.kind == kind;
    return n;
}

}  // namespace sim

using sim::Ev;
using sim::P;

uint32_t PlatformGetVersion(void) {
    sim::Record(Ev::GetVersion, 0);
    return P().version;
}

uint8_t PlatformPortIn(uint16_t port) {
    uint8_t value = P().ports ? P().ports->In(port) : 0xFF;
    if (P().record_ports) sim::Record(Ev::PortIn, port, value);
    return value;
}

void PlatformPortOut(uint16_t port, uint8_t value) {
    if (P().ports) P().ports->Out(port, value);
    if (P().record_ports) sim::Record(Ev::PortOut, port, value);
}

void PlatformSleep(uint32_t milliseconds) {
    P().clock_ms += milliseconds;
    P().sleeps++;
    if (P().record_ports) sim::Record(Ev::Sleep, milliseconds);
}

void PlatformSetLastError(uint32_t code) {
    P().last_error = code;
    sim::Record(Ev::SetLastError, code);
}

// Each block carries its size in front, so Free can report what it held.
void *PlatformAlloc(size_t size) {
    sim::Record(Ev::Alloc, (uint32_t)size);
    P().allocs++;
    if (P().fail_alloc == P().allocs) return nullptr;
    auto *block = static_cast<size_t *>(malloc(sizeof(size_t) * 2 + size));
    if (!block) return nullptr;
    block[0] = size;
    P().live_blocks++;
    return block + 2;
}

void PlatformFree(void *block) {
    sim::Record(Ev::Free, 0);
    if (!block) return;
    P().frees++;
    P().live_blocks--;
    size_t *base = static_cast<size_t *>(block) - 2;
    auto *bytes = static_cast<uint8_t *>(block);
    P().last_freed.assign(bytes, bytes + base[0]);
    free(base);
}

PlatformHandle PlatformCreateFile(const char *name, uint32_t access,
                                  uint32_t share, uint32_t disposition,
                                  uint32_t flags) {
    sim::Record(Ev::CreateFile, 0);
    P().opens.push_back({name, access, share, disposition, flags});
    if (P().open_result == PLATFORM_INVALID_HANDLE) P().last_error = P().open_error;
    return P().open_result;
}

int PlatformCloseHandle(PlatformHandle handle) {
    sim::Record(Ev::CloseHandle, 0);
    P().closes.push_back(handle);
    if (!P().close_result) P().last_error = P().close_error;
    return P().close_result;
}

int PlatformDeviceIoControl(PlatformHandle handle, uint32_t code,
                            const void *input, uint32_t input_length,
                            void *output, uint32_t output_length,
                            uint32_t *returned) {
    sim::Record(Ev::Ioctl, code);
    sim::IoctlCall call{handle, code, input == nullptr, {}, input_length,
                        output == nullptr, output_length, P().last_error};
    if (input) {
        auto *bytes = static_cast<const uint8_t *>(input);
        call.input.assign(bytes, bytes + input_length);
    }
    P().ioctls.push_back(call);
    sim::IoctlAnswer answer;
    if (!P().answers.empty()) {
        answer = P().answers.front();
        P().answers.pop_front();
    }
    if (!answer.ok) {
        P().last_error = answer.error;
        return 0;
    }
    size_t n = answer.output.size();
    if (n > output_length) n = output_length;
    if (n && output) memcpy(output, answer.output.data(), n);
    *returned = answer.returned < 0 ? (uint32_t)n : (uint32_t)answer.returned;
    return 1;
}
