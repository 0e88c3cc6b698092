/* The text d418diag shows for a result of the library. */
#ifndef D418DIAG_RESULT_TEXT_H
#define D418DIAG_RESULT_TEXT_H

#define D418LIB_NO_PROTOTYPES
#include "d418lib.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The library's code for "another process has the library loaded". */
#define D418_ERR_IN_USE 5

/* Writes the text for code into one static 80-byte buffer and returns it;
   the next call overwrites it. For code 1 the text carries GetLastError() as
   it is when the text is made, so call this before any other system call. */
const char *ResultText(D418_RESULT code);

#ifdef __cplusplus
}
#endif

#endif /* D418DIAG_RESULT_TEXT_H */
