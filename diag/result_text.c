#include "result_text.h"

#include <stdio.h>

#include "binding.h"
#include "loader.h"

static char Text[80];

const char *ResultText(D418_RESULT code) {
    switch (code) {
    case D418_ERR_SYSTEM:
        sprintf(Text, "Operating System Error: %d", (int)LoaderGetLastError());
        break;
    case D418_ERR_SHORT:
        sprintf(Text, "Orvalink Error: Less data received");
        break;
    case D418_ERR_TIMEOUT:
        sprintf(Text, "Orvalink Error: Timeout expired");
        break;
    case D418_ERR_NOT_FOUND:
        sprintf(Text, "Orvalink Error: D418 not found");
        break;
    case D418_ERR_IN_USE:
        sprintf(Text, "Another instance of %s already loaded", D418_LIBRARY_FILE);
        break;
    default:
        sprintf(Text, "Orvalink Error: %d", (int)code);
        break;
    }
    return Text;
}
