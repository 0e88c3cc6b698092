/* The I/O base address as the technician types it. */
#ifndef D418DIAG_BASE_ARGUMENT_H
#define D418DIAG_BASE_ARGUMENT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Converts text with sscanf "%x" and stores the value in *base; returns 1.
   Returns 0 and leaves *base alone when the text is refused:
   - after leading white space, an optional sign and an optional "0x"/"0X",
     no hexadecimal digit follows ("zz", "", "-", "+", "0x", "0xg", "x300");
   - the number has more than 8 hexadecimal digits after its leading zeros,
     so it does not fit in 32 bits ("123456789", "0x100000000").
   sscanf itself takes "0x" with no digit after it as the number 0 and
   wraps or saturates numbers that do not fit, depending on the C library;
   the two rules above decide those cases before sscanf sees them, so every
   build treats them alike. Everything else is sscanf's: "300h" is 0x300
   (conversion stops at the first non-digit), and "-300" is sscanf's
   negation, 0xFFFFFD00. */
int ParseBaseArgument(const char *text, uint32_t *base);

#ifdef __cplusplus
}
#endif

#endif /* D418DIAG_BASE_ARGUMENT_H */
