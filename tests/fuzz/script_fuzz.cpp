// Fuzz target: d418cmd's script reader. For any text, CmdCheckScript takes
// it exactly when every line is readable and is blank, a comment or a
// command that CmdParseStep takes, and otherwise names the first bad line.
// Every line and token lies inside the text; a token that an error names
// lies inside its line; an accepted send carries the values of its tokens.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cmd_parse.h"

namespace {

#define CHECK(cond, ...)                                               \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "script_fuzz: check failed: %s: ", #cond); \
            fprintf(stderr, __VA_ARGS__);                              \
            fputc('\n', stderr);                                       \
            abort();                                                   \
        }                                                              \
    } while (0)

CmdToken g_tokens[CMD_MAX_TOKENS];
CmdStep g_step;

bool Inside(const CmdToken &inner, const char *start, size_t length) {
    return inner.text >= start && inner.text + inner.length <= start + length;
}

// The value of a hexadecimal token with an optional 0x, worked out on its
// own; -1 when it is none or does not fit in 32 bits.
long long HexValue(const CmdToken &token) {
    const char *p = token.text;
    size_t n = token.length;
    if (n >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2, n -= 2;
    if (n == 0) return -1;
    long long v = 0;
    for (size_t i = 0; i < n; i++) {
        char c = p[i];
        int d = c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0) return -1;
        v = v * 16 + d;
        if (v > 0xFFFFFFFFLL) return -1;
    }
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A block of exactly the input's size, so a read past its end shows.
    char *text = (char *)malloc(size ? size : 1);
    memcpy(text, data, size);

    CmdScriptCursor cursor;
    CmdToken line;
    CmdError error;
    long first_bad = 0;
    int got;
    CmdScriptBegin(&cursor, text, size);
    while ((got = CmdScriptNextLine(&cursor, &line, &error)) != 0) {
        CHECK(Inside(line, text, size), "line %ld outside the text", cursor.line);
        CHECK(got == 1 || got == -1, "result %d", got);
        if (got < 0) {
            CHECK(error.what && !error.token.text, "line %ld: unreadable without a reason",
                  cursor.line);
            if (!first_bad) first_bad = cursor.line;
            continue;
        }
        CHECK(line.length <= CMD_MAX_LINE, "line %ld of %zu", cursor.line, line.length);
        CHECK(!memchr(line.text, '\0', line.length), "line %ld holds a zero byte", cursor.line);
        int count = CmdSplitLine(line.text, line.length, g_tokens, CMD_MAX_TOKENS);
        CHECK(count >= 0 && count <= CMD_MAX_TOKENS, "%d tokens", count);
        for (int i = 0; i < count; i++) {
            CHECK(g_tokens[i].length > 0 && Inside(g_tokens[i], line.text, line.length),
                  "token %d of line %ld", i, cursor.line);
            CHECK(!memchr(g_tokens[i].text, ' ', g_tokens[i].length) &&
                      !memchr(g_tokens[i].text, '\t', g_tokens[i].length) &&
                      !memchr(g_tokens[i].text, '#', g_tokens[i].length),
                  "token %d of line %ld holds a blank or '#'", i, cursor.line);
        }
        if (count == 0) continue;
        if (!CmdParseStep(g_tokens, count, &g_step, &error)) {
            CHECK(error.what && error.token.text && Inside(error.token, line.text, line.length),
                  "line %ld: error without a token in the line", cursor.line);
            if (!first_bad) first_bad = cursor.line;
            continue;
        }
        if (g_step.kind == CMD_SEND) {
            CHECK(g_step.length == count - 3 && g_step.length <= CMD_MAX_PAYLOAD,
                  "line %ld: %d bytes from %d tokens", cursor.line, (int)g_step.length, count);
            CHECK(g_step.w2 == HexValue(g_tokens[1]) && g_step.w2 <= 0xFFFF, "line %ld: w2",
                  cursor.line);
            CHECK(g_step.w1 == HexValue(g_tokens[2]) && g_step.w1 <= 0xFFFF, "line %ld: w1",
                  cursor.line);
            for (int i = 0; i < g_step.length; i++)
                CHECK(g_step.payload[i] == HexValue(g_tokens[3 + i]) &&
                          HexValue(g_tokens[3 + i]) <= 0xFF,
                      "line %ld: byte %d", cursor.line, i);
        } else {
            CHECK(count == (g_step.kind == CMD_RESET ? 1 : 2), "line %ld: %d tokens", cursor.line,
                  count);
        }
    }

    long reported = 0;
    int accepted = CmdCheckScript(text, size, &error, &reported);
    CHECK(accepted == (first_bad == 0), "accepted %d, first bad line %ld", accepted, first_bad);
    if (!accepted) CHECK(reported == first_bad, "line %ld, expected %ld", reported, first_bad);
    free(text);
    return 0;
}
