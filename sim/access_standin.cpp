// The stand-in access check; see access_standin.h. Linked into host tests in
// place of the driver's kernel one (config.c).
#include "access_standin.h"

#include <algorithm>

#include "../driver/security.h"

namespace sim {

StandinAccessCheck &AccessChecks() {
    static StandinAccessCheck checks;
    return checks;
}

static uint32_t Get16(const uint8_t *p) { return p[0] | (p[1] << 8); }
static uint32_t Get32(const uint8_t *p) { return Get16(p) | (Get16(p + 2) << 16); }

static bool HasSid(const StandinCaller &caller, const uint8_t *sid, size_t length) {
    for (const auto &own : caller.sids)
        if (own.size() == length && std::equal(own.begin(), own.end(), sid)) return true;
    return false;
}

uint32_t GrantedAccess(const uint8_t *d, const StandinCaller &caller) {
    constexpr uint32_t kMalformed = ~0u;
    // Revision 1, self-relative, DACL present.
    if (d[0] != 1 || (Get16(d + 2) & 0x8004) != 0x8004) return kMalformed;
    uint32_t dacl = Get32(d + 16);
    if (dacl == 0) return kMalformed;  // the driver never builds a null DACL
    const uint8_t *acl = d + dacl;
    if (acl[0] != 2) return kMalformed;
    uint32_t size = Get16(acl + 2), count = Get16(acl + 4), at = 8;
    uint32_t granted = 0, denied = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (at + 8 > size) return kMalformed;
        const uint8_t *ace = acl + at;
        uint32_t ace_size = Get16(ace + 2), mask = Get32(ace + 4);
        const uint8_t *sid = ace + 8;
        size_t sid_length = 8 + 4u * sid[1];
        if (ace_size < 8 + sid_length || at + ace_size > size || sid[0] != 1) return kMalformed;
        if (HasSid(caller, sid, sid_length)) {
            if (ace[0] == 0)
                granted |= mask & ~denied;
            else if (ace[0] == 1)
                denied |= mask & ~granted;
            else
                return kMalformed;
        }
        at += ace_size;
    }
    return granted;
}

}  // namespace sim

// The seam the driver's open decision calls.
extern "C" int D418CallerAllowed(const void *security_context, int user_mode,
                                 const uint8_t *descriptor, uint32_t desired) {
    sim::StandinAccessCheck &checks = sim::AccessChecks();
    checks.calls++;
    checks.desired = desired;
    checks.user_mode = user_mode != 0;
    // A request from kernel mode is granted everything, as by the kernel.
    if (!user_mode) return 1;
    uint32_t granted =
        sim::GrantedAccess(descriptor, *static_cast<const sim::StandinCaller *>(security_context));
    return granted != ~0u && (granted & desired) == desired;
}
