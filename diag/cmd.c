#include "cmd_main.h"

int main(int argc, char **argv) { return CmdMain(argc, argv); }
