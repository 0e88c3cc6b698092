#include "cmd_parse.h"

#include <string.h>

#include "base_argument.h"

const char CmdNoCommand[] = "missing COMMAND";

static CmdToken TokenOf(const char *text) {
    CmdToken token;
    token.text = text;
    token.length = strlen(text);
    return token;
}

static int Fail(CmdError *error, const char *what, CmdToken token) {
    error->what = what;
    error->token = token;
    return 0;
}

static int IsBlank(char c) { return c == ' ' || c == '\t'; }

static int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/* A hexadecimal number with an optional "0x", the whole token. Returns 1
   with *value set, 0 when the token is no such number, -1 when the number
   is above max. */
static int ParseHex(CmdToken token, uint32_t max, uint32_t *value) {
    const char *p = token.text;
    const char *end = token.text + token.length;
    uint32_t v = 0;
    int above = 0;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    if (p == end) return 0;
    for (; p < end; p++) {
        int digit = HexDigitValue(*p);
        if (digit < 0) return 0;
        /* Once above max it stays above: no need to keep counting. */
        if (!above) {
            v = v * 16 + (uint32_t)digit;
            if (v > max) above = 1;
        }
    }
    if (above) return -1;
    *value = v;
    return 1;
}

/* A decimal number of 32 bits, digits only. Returns 1, 0 or -1 like
   ParseHex. */
static int ParseDecimal(CmdToken token, uint32_t *value) {
    uint32_t v = 0;
    int above = 0;
    size_t i;
    if (token.length == 0) return 0;
    for (i = 0; i < token.length; i++) {
        char c = token.text[i];
        if (c < '0' || c > '9') return 0;
        if (!above) {
            uint32_t digit = (uint32_t)(c - '0');
            if (v > (UINT32_MAX - digit) / 10) above = 1;
            else v = v * 10 + digit;
        }
    }
    if (above) return -1;
    *value = v;
    return 1;
}

static int ParseTimeoutToken(CmdToken token, uint32_t *value, CmdError *error) {
    int got = ParseDecimal(token, value);
    if (got == 0) return Fail(error, "not a decimal number", token);
    if (got < 0) return Fail(error, "timeout above 4294967295", token);
    return 1;
}

static int ParseWord(CmdToken token, uint32_t *value, CmdError *error) {
    int got = ParseHex(token, 0xFFFF, value);
    if (got == 0) return Fail(error, "not a hexadecimal number", token);
    if (got < 0) return Fail(error, "word above FFFF", token);
    return 1;
}

/* The command's name, compared without regard to case. */
static int IsName(CmdToken token, const char *name) {
    size_t i;
    if (token.length != strlen(name)) return 0;
    for (i = 0; i < token.length; i++) {
        char c = token.text[i];
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        if (c != name[i]) return 0;
    }
    return 1;
}

static int IsOption(const char *arg, const char *option) { return strcmp(arg, option) == 0; }

int CmdParseOptions(int argc, char **argv, CmdOptions *options, CmdError *error) {
    int seen_b = 0, seen_t = 0, seen_k = 0, seen_f = 0;
    int i = 1;
    options->base = CMD_DEFAULT_BASE;
    options->has_timeout = 0;
    options->timeout = 0;
    options->keep_going = 0;
    options->script = NULL;
    options->command = 0;

    for (; i < argc; i++) {
        const char *arg = argv[i];
        CmdToken token = TokenOf(arg);
        if (arg[0] != '-' || arg[1] == '\0') {
            /* Not an option: the command, unless a script was named. */
            if (seen_f) return Fail(error, "unexpected argument", token);
            options->command = i;
            return 1;
        }
        if (IsOption(arg, "-k")) {
            if (seen_k++) return Fail(error, "repeated option", token);
            options->keep_going = 1;
            continue;
        }
        if (!IsOption(arg, "-b") && !IsOption(arg, "-t") && !IsOption(arg, "-f"))
            return Fail(error, "unknown option", token);

        /* The three options that take a value. */
        if (i + 1 >= argc) {
            const char *missing = arg[1] == 'b'   ? "missing BASE after"
                                  : arg[1] == 't' ? "missing TIMEOUT after"
                                                  : "missing SCRIPT after";
            return Fail(error, missing, token);
        }
        i++;
        if (arg[1] == 'b') {
            if (seen_b++) return Fail(error, "repeated option", token);
            if (!ParseBaseArgument(argv[i], &options->base))
                return Fail(error, "not a hexadecimal base address", TokenOf(argv[i]));
        } else if (arg[1] == 't') {
            if (seen_t++) return Fail(error, "repeated option", token);
            if (!ParseTimeoutToken(TokenOf(argv[i]), &options->timeout, error)) return 0;
            options->has_timeout = 1;
        } else {
            if (seen_f++) return Fail(error, "repeated option", token);
            options->script = argv[i];
        }
    }
    if (!seen_f) {
        CmdToken none = {NULL, 0};
        return Fail(error, CmdNoCommand, none);
    }
    return 1;
}

int CmdParseStep(const CmdToken *tokens, int count, CmdStep *step, CmdError *error) {
    int i;
    if (IsName(tokens[0], "reset")) {
        if (count > 1) return Fail(error, "unexpected argument", tokens[1]);
        step->kind = CMD_RESET;
        return 1;
    }
    if (IsName(tokens[0], "timeout")) {
        if (count < 2) return Fail(error, "missing N after", tokens[0]);
        if (count > 2) return Fail(error, "unexpected argument", tokens[2]);
        step->kind = CMD_TIMEOUT;
        return ParseTimeoutToken(tokens[1], &step->timeout, error);
    }
    if (!IsName(tokens[0], "send")) return Fail(error, "unknown command", tokens[0]);

    if (count < 2) return Fail(error, "missing W2 after", tokens[0]);
    if (!ParseWord(tokens[1], &step->w2, error)) return 0;
    if (count < 3) return Fail(error, "missing W1 after", tokens[1]);
    if (!ParseWord(tokens[2], &step->w1, error)) return 0;
    step->kind = CMD_SEND;
    step->length = 0;
    for (i = 3; i < count; i++) {
        uint32_t byte = 0;
        int got;
        if (step->length == CMD_MAX_PAYLOAD)
            return Fail(error, "more than 4092 bytes", tokens[i]);
        got = ParseHex(tokens[i], 0xFF, &byte);
        if (got == 0) return Fail(error, "not a hexadecimal number", tokens[i]);
        if (got < 0) return Fail(error, "byte above FF", tokens[i]);
        step->payload[step->length++] = (uint8_t)byte;
    }
    return 1;
}

int CmdSplitLine(const char *line, size_t length, CmdToken *tokens, int capacity) {
    const char *p = line;
    const char *end = line + length;
    int count = 0;
    for (;;) {
        const char *start;
        while (p < end && IsBlank(*p)) p++;
        if (p == end || *p == '#') return count;
        start = p;
        while (p < end && !IsBlank(*p) && *p != '#') p++;
        if (count < capacity) {
            tokens[count].text = start;
            tokens[count].length = (size_t)(p - start);
            count++;
        }
    }
}

void CmdScriptBegin(CmdScriptCursor *cursor, const char *text, size_t size) {
    cursor->next = text;
    cursor->end = text + size;
    cursor->line = 0;
    if (size >= 3 && (unsigned char)text[0] == 0xEF && (unsigned char)text[1] == 0xBB &&
        (unsigned char)text[2] == 0xBF)
        cursor->next += 3;
}

int CmdScriptNextLine(CmdScriptCursor *cursor, CmdToken *line, CmdError *error) {
    const char *start = cursor->next;
    const char *p = start;
    size_t length;
    if (start >= cursor->end) return 0;
    while (p < cursor->end && *p != '\n') p++;
    cursor->next = p < cursor->end ? p + 1 : p;
    cursor->line++;
    length = (size_t)(p - start);
    if (length > 0 && start[length - 1] == '\r') length--;
    line->text = start;
    line->length = length;
    if (length > CMD_MAX_LINE) {
        CmdToken none = {NULL, 0};
        return Fail(error, "line longer than 32767 characters", none) - 1;
    }
    if (memchr(start, '\0', length) != NULL) {
        CmdToken none = {NULL, 0};
        return Fail(error, "zero byte in line", none) - 1;
    }
    return 1;
}

int CmdCheckScript(const char *text, size_t size, CmdError *error, long *line_number) {
    static CmdToken tokens[CMD_MAX_TOKENS];
    static CmdStep step;
    CmdScriptCursor cursor;
    CmdToken line;
    int got;
    CmdScriptBegin(&cursor, text, size);
    while ((got = CmdScriptNextLine(&cursor, &line, error)) != 0) {
        int count;
        *line_number = cursor.line;
        if (got < 0) return 0;
        count = CmdSplitLine(line.text, line.length, tokens, CMD_MAX_TOKENS);
        if (count > 0 && !CmdParseStep(tokens, count, &step, error)) return 0;
    }
    return 1;
}
