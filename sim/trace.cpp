#include "trace.h"

#include <cstdio>

namespace sim {

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

std::string RenderTrace(const std::vector<Event> &events, const std::vector<Ev> &kinds) {
    std::vector<Event> kept;
    for (const Event &e : events) {
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

}  // namespace sim
