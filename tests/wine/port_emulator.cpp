#include "port_emulator.h"

#include <windows.h>

namespace emu {

namespace {
sim::PortDevice *g_device = nullptr;
PVOID g_handler = nullptr;
std::vector<sim::Event> g_events;

LONG CALLBACK OnException(EXCEPTION_POINTERS *info) {
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (!g_device || (code != EXCEPTION_PRIV_INSTRUCTION && code != EXCEPTION_ACCESS_VIOLATION))
        return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT *context = info->ContextRecord;
#ifdef _WIN64
    const unsigned char *ip = reinterpret_cast<const unsigned char *>(context->Rip);
    DWORD64 &ax = context->Rax;
    uint16_t port = static_cast<uint16_t>(context->Rdx);
#else
    const unsigned char *ip = reinterpret_cast<const unsigned char *>(context->Eip);
    DWORD &ax = context->Eax;
    uint16_t port = static_cast<uint16_t>(context->Edx);
#endif
    if (ip[0] == 0xEC) {  // in al, dx
        uint8_t value = g_device->In(port);
        ax = (ax & ~0xFFull) | value;
        g_events.push_back({sim::Ev::PortIn, port, value});
    } else if (ip[0] == 0xEE) {  // out dx, al
        uint8_t value = static_cast<uint8_t>(ax & 0xFF);
        g_device->Out(port, value);
        g_events.push_back({sim::Ev::PortOut, port, value});
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
#ifdef _WIN64
    context->Rip += 1;
#else
    context->Eip += 1;
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}
}  // namespace

void InstallPortEmulator(sim::PortDevice *device) {
    g_device = device;
    if (!g_handler) g_handler = AddVectoredExceptionHandler(1, OnException);
}

void RemovePortEmulator() {
    if (g_handler) RemoveVectoredExceptionHandler(g_handler);
    g_handler = nullptr;
    g_device = nullptr;
}

const std::vector<sim::Event> &PortEvents() { return g_events; }

void ClearTrace() { g_events.clear(); }

std::string PortTraceText() { return sim::RenderTrace(g_events); }

}  // namespace emu
