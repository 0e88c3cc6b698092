// Fuzz target: the driver's reading of Parameters\AllowedGroup
// (D418CheckAllowedGroup, D418ParseSid in driver/security.c). The input is
// the value's data; byte 0 picks its registry type (even: REG_SZ, odd: the
// byte itself). Checks on every input:
//   - nothing is written past the largest SID;
//   - a SID taken is well formed (revision 1, 1 to 15 subauthorities, its
//     size matching) and reads back: written out in string form and parsed
//     again it gives the same bytes;
//   - a descriptor can be built for it, with the SID as its last ACE.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "security.h"

#define CHECK(cond, ...)                                             \
    do {                                                             \
        if (!(cond)) {                                               \
            fprintf(stderr, "sid_fuzz: check failed: %s: ", #cond);  \
            fprintf(stderr, __VA_ARGS__);                            \
            fputc('\n', stderr);                                     \
            abort();                                                 \
        }                                                            \
    } while (0)

// The SID's string form, as an administrator would write it.
static std::u16string Render(const uint8_t *sid) {
    uint64_t authority = 0;
    for (int i = 0; i < 6; i++) authority = (authority << 8) | sid[2 + i];
    std::string s = "S-1-" + std::to_string(authority);
    for (int i = 0; i < sid[1]; i++) {
        const uint8_t *p = sid + 8 + 4 * i;
        uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
        s += "-" + std::to_string(v);
    }
    return std::u16string(s.begin(), s.end());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    uint32_t type = data[0] % 2 == 0 ? D418_REG_SZ : data[0];
    uint8_t sid[D418_SID_MAX + 16];
    memset(sid, 0xA5, sizeof sid);
    size_t n = D418CheckAllowedGroup(type, data + 1, (uint32_t)(size - 1), sid);
    for (size_t i = D418_SID_MAX; i < sizeof sid; i++)
        CHECK(sid[i] == 0xA5, "byte %zu written past the largest SID", i);
    if (n == 0) return 0;

    CHECK(type == D418_REG_SZ, "a SID taken from type %u", type);
    CHECK(sid[0] == 1 && sid[1] >= 1 && sid[1] <= 15, "header %02X %02X", sid[0], sid[1]);
    CHECK(n == 8u + 4u * sid[1], "size %zu for %u subauthorities", n, sid[1]);

    std::u16string text = Render(sid);
    uint8_t again[D418_SID_MAX];
    size_t m = D418ParseSid(reinterpret_cast<const uint16_t *>(text.data()), text.size(), again);
    CHECK(m == n && memcmp(again, sid, n) == 0, "the SID does not read back");

    uint8_t descriptor[256];
    size_t d = D418BuildDescriptor(sid, descriptor, sizeof descriptor);
    CHECK(d >= n && memcmp(descriptor + d - n, sid, n) == 0, "descriptor of %zu bytes", d);
    return 0;
}
