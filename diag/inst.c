#include "inst_main.h"

int main(int argc, char **argv) { return InstMain(argc, argv); }
