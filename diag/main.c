#include "diag_main.h"

int main(int argc, char **argv) { return DiagMain(argc, argv); }
