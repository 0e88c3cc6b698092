// d418cmd_emu.exe: d418cmd with the board's I/O ports emulated inside its
// own process, for running the real d418lib.dll on the port path (Windows 98
// mode) without a board. The environment variable D418_EMU_BOARD picks the
// simulated board at 0x300:
//   echo (or unset)  answers every frame with status word 0 and the frame's
//                    payload
//   reply=HEX        answers every frame with these bytes (header first)
//   silent           takes frames but never answers
//   absent           no board: every port reads 0xFF
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board.h"
#include "cmd_main.h"
#include "port_emulator.h"

namespace {

bool HexBytes(const char *text, std::vector<uint8_t> *bytes) {
    size_t n = std::strlen(text);
    if (n % 2 != 0) return false;
    for (size_t i = 0; i < n; i += 2) {
        char pair[3] = {text[i], text[i + 1], '\0'};
        char *end = nullptr;
        unsigned long value = std::strtoul(pair, &end, 16);
        if (*end != '\0') return false;
        bytes->push_back((uint8_t)value);
    }
    return true;
}

bool ScriptFromEnvironment(sim::BoardScript *script) {
    const char *choice = std::getenv("D418_EMU_BOARD");
    if (!choice || std::strcmp(choice, "echo") == 0) {
        script->echo_payload = true;
        return true;
    }
    if (std::strcmp(choice, "silent") == 0) {
        script->reply_after_send = false;
        return true;
    }
    if (std::strcmp(choice, "absent") == 0) {
        script->present = false;
        return true;
    }
    if (std::strncmp(choice, "reply=", 6) == 0) return HexBytes(choice + 6, &script->reply);
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    sim::BoardScript script;
    if (!ScriptFromEnvironment(&script)) {
        std::fprintf(stderr, "d418cmd_emu: D418_EMU_BOARD must be echo, reply=HEX, silent or absent\n");
        return 99;
    }
    static sim::Board board(script);
    emu::InstallPortEmulator(&board);
    return CmdMain(argc, argv);
}
