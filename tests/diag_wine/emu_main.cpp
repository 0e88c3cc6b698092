// d418diag_emu.exe: d418diag with the board's I/O ports emulated inside its
// own process, for running the real d418lib.dll on the port path (Windows 98
// mode) without a board. The environment variable D418_EMU_BOARD picks the
// simulated board:
//   ready (or unset)  a board at 0x300 that is ready after its reset
//   absent            no board: every port reads 0xFF
//   base=HEX          a ready board at I/O base HEX
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board.h"
#include "diag_main.h"
#include "port_emulator.h"

namespace {

bool ScriptFromEnvironment(sim::BoardScript *script) {
    const char *choice = std::getenv("D418_EMU_BOARD");
    if (!choice || std::strcmp(choice, "ready") == 0) return true;
    if (std::strcmp(choice, "absent") == 0) {
        script->present = false;
        return true;
    }
    if (std::strncmp(choice, "base=", 5) == 0) {
        char *end = nullptr;
        unsigned long base = std::strtoul(choice + 5, &end, 16);
        if (end != choice + 5 && *end == '\0' && base <= 0xFFFF) {
            script->base = (uint16_t)base;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    sim::BoardScript script;
    if (!ScriptFromEnvironment(&script)) {
        std::fprintf(stderr, "d418diag_emu: D418_EMU_BOARD must be ready, absent or base=HEX\n");
        return 99;
    }
    static sim::Board board(script);
    emu::InstallPortEmulator(&board);
    return DiagMain(argc, argv);
}
