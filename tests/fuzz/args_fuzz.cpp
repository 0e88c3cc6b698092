// Fuzz target: the diagnostic's base-address argument. For any text,
// ParseBaseArgument accepts exactly when, after white space, an optional
// sign and an optional "0x", a hexadecimal digit follows and the number has
// at most 8 digits after its leading zeros; an accepted text gives the value
// sscanf "%x" gives here (and the value of those digits, negated modulo 2^32
// after a '-'); a refused one leaves the output alone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base_argument.h"

namespace {

#define CHECK(cond, ...)                                             \
    do {                                                             \
        if (!(cond)) {                                               \
            fprintf(stderr, "args_fuzz: check failed: %s: ", #cond); \
            fprintf(stderr, __VA_ARGS__);                            \
            fputc('\n', stderr);                                     \
            abort();                                                 \
        }                                                            \
    } while (0)

int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The contract, worked out on its own: 1 and the value when the text is a
// number that fits, 0 otherwise.
int Expected(const char *text, uint32_t *value) {
    const char *p = text;
    while (*p && strchr(" \t\n\v\f\r", *p)) p++;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') p++;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    if (Digit(*p) < 0) return 0;
    while (*p == '0') p++;
    uint64_t v = 0;
    int digits = 0;
    for (; Digit(*p) >= 0; p++, digits++) {
        if (digits == 8) return 0;
        v = v * 16 + (uint64_t)Digit(*p);
    }
    *value = negative ? (uint32_t)(0u - (uint32_t)v) : (uint32_t)v;
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The text ends at the first NUL or at the end of the input; it lives in
    // a block of exactly its size, so a read past its end shows.
    size_t length = strnlen((const char *)data, size);
    char *text = (char *)malloc(length + 1);
    memcpy(text, data, length);
    text[length] = '\0';

    const uint32_t kUntouched = 0xC0FFEE11u;
    uint32_t base = kUntouched;
    int accepted = ParseBaseArgument(text, &base);
    uint32_t want = 0;
    int expected = Expected(text, &want);

    CHECK(accepted == 0 || accepted == 1, "result %d", accepted);
    CHECK(accepted == expected, "\"%s\": result %d, expected %d", text, accepted, expected);
    if (accepted) {
        unsigned int scanned = 0;
        CHECK(sscanf(text, "%x", &scanned) == 1, "\"%s\": sscanf refuses", text);
        CHECK(base == scanned, "\"%s\": %08X, sscanf %08X", text, base, scanned);
        CHECK(base == want, "\"%s\": %08X, expected %08X", text, base, want);
    } else {
        CHECK(base == kUntouched, "\"%s\": refused but stored %08X", text, base);
    }
    free(text);
    return 0;
}
