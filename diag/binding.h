/* d418diag binds d418lib.dll at run time: it is never linked against the
   library, so that a missing or broken library is something it can report
   rather than a reason the program does not start.

   The five functions below carry the exports' own names and signatures.
   D418Init loads the library and binds all five entry points at every call;
   the other four call the bound entry point with the same arguments and
   return its result unchanged. They are meant to be called only after a
   D418Init that returned 0. */
#ifndef D418DIAG_BINDING_H
#define D418DIAG_BINDING_H

#define D418LIB_NO_PROTOTYPES
#include "d418lib.h"
#include "loader.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The module-wide binding: the handle of the last load (null when it
   failed) and the entry points of the last lookup. All null at start. */
typedef struct D418Binding {
    LoaderModule library;
    D418_SEND_COMMAND_FN send_command;
    D418_READ_RESPONSE_FN read_response;
    D418_RESET_FN reset;
    D418_INIT_FN init;
    D418_TIMEOUT_FN timeout;
} D418Binding;

extern D418Binding Bound;

/* The name the library is loaded by: a bare file name, so that the system's
   search order (the program's folder first) finds it. */
#define D418_LIBRARY_FILE "d418lib.dll"

/* 1. Loads D418_LIBRARY_FILE (again at every call, so the load count rises).
   2. If that fails: returns 1, with the last error as the load left it.
   3. Looks up all five exports, even after one was missing.
   4. If any is missing: frees the library and returns 1.
   5. Otherwise returns the library's D418Init(base). */
D418_RESULT D418_CALL D418Init(uint32_t base);
D418_RESULT D418_CALL D418Timeout(uint32_t timeout);
D418_RESULT D418_CALL D418Reset(void);
D418_RESULT D418_CALL D418SendCommand(int32_t w2, int32_t w1,
                                      const uint8_t *payload, int32_t length);
D418_RESULT D418_CALL D418ReadResponse(uint8_t *buffer, int32_t *count);

#ifdef __cplusplus
}
#endif

#endif /* D418DIAG_BINDING_H */
