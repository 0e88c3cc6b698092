// A stand-in for the kernel's access check, for host tests of the driver's
// open decision: a caller is a list of SIDs (its user and its groups), and
// the check reads the security descriptor's bytes as the kernel would:
// self-relative, its DACL's allowed and denied ACEs in order.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct StandinCaller {
    std::vector<std::vector<uint8_t>> sids;
};

// What the stand-in saw on its last call.
struct StandinAccessCheck {
    int calls = 0;
    uint32_t desired = 0;
    bool user_mode = false;
};
StandinAccessCheck &AccessChecks();

// The access the descriptor grants the caller, or ~0 when the descriptor is
// malformed (tests fail on that).
uint32_t GrantedAccess(const uint8_t *descriptor, const StandinCaller &caller);

}  // namespace sim
