// The fuzzer's input taken as a stream of bytes, in order; 0 once they run
// out, so that every input drives a whole run.
#pragma once

#include <cstddef>
#include <cstdint>

struct Reader {
    const uint8_t *p = nullptr;
    size_t left = 0;
    uint8_t Byte() {
        if (!left) return 0;
        left--;
        return *p++;
    }
    uint32_t Le(int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; i++) v |= (uint32_t)Byte() << (8 * i);
        return v;
    }
};
