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

std::string Trace(const std::vector<Ev> &kinds) { return RenderTrace(P().events, kinds); }

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
