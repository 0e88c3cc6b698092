#include "base_argument.h"

#include <stddef.h>
#include <stdio.h>

/* The white space scanf skips in the C locale. */
static int IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static int IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int ParseBaseArgument(const char *text, uint32_t *base) {
    /* Walk over what "%x" would take, to see whether it is a number at all
       and whether it fits. */
    const char *p = text;
    while (IsSpace(*p)) p++;
    if (*p == '+' || *p == '-') p++;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    if (!IsHexDigit(*p)) return 0;
    while (*p == '0') p++;
    size_t significant = 0;
    while (IsHexDigit(*p)) {
        significant++;
        p++;
    }
    if (significant > 8) return 0;

    unsigned int value = 0;
    if (sscanf(text, "%x", &value) != 1) return 0;
    *base = (uint32_t)value;
    return 1;
}
