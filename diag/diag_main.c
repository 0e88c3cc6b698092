#include "diag_main.h"

#include <stdio.h>

#include "base_argument.h"
#include "binding.h"
#include "result_text.h"

int DiagMain(int argc, char **argv) {
    if (argc != 2) {
        puts(DIAG_USAGE_LINE);
        return DIAG_EXIT_USAGE;
    }
    uint32_t base = 0;
    if (!ParseBaseArgument(argv[1], &base)) {
        puts(DIAG_USAGE_LINE);
        return DIAG_EXIT_BAD_ARGUMENT;
    }

    /* The text of a failure is made right after the failed call, before any
       other system call can change the last error. */
    D418_RESULT result = D418Init(base);
    if (result != D418_OK) {
        const char *text = ResultText(result);
        printf(" D418Init failed: %s\n", text);
        return DIAG_EXIT_INIT_FAILED;
    }
    result = D418Reset();
    if (result != D418_OK) {
        const char *text = ResultText(result);
        printf(" D418Reset failed: %s\n", text);
        return DIAG_EXIT_RESET_FAILED;
    }
    printf(" D418 board correctly installed\n");
    return DIAG_EXIT_INSTALLED;
}
