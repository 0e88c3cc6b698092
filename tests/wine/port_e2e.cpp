// The real d418lib.dll on the port path: loaded with LoadLibraryA in a
// process that reports Windows 98, its port instructions answered by the
// simulated board through the port emulator.
#include <windows.h>

#include <cstring>
#include <vector>

#include "board.h"
#include "bound_library.h"
#include "port_emulator.h"
#include "wine_check.h"

namespace {

BoundLibrary lib;

sim::Board *UseBoard(sim::BoardScript script) {
    static sim::Board *board = nullptr;
    delete board;
    board = new sim::Board(script);
    emu::InstallPortEmulator(board);
    emu::ClearTrace();
    return board;
}

void ReadyBoardResets() {
    UseBoard({});
    CHECK_EQ(lib.Init(0x300), 0);
    CHECK_EQ(lib.Reset(), 0);
    CHECK_EQ(emu::PortTraceText(), std::string("out 0303, 00\nin 0301 = EE\n"));
}

void NoBoardIsNotFoundAfterAllReads() {
    sim::BoardScript script;
    script.present = false;
    UseBoard(script);
    CHECK_EQ(lib.Init(0x300), 0);
    CHECK_EQ(lib.Reset(), 4);
    CHECK_EQ(emu::PortTraceText(), std::string("out 0303, 00\nin 0301 = FF\n  x100000\n"));
}

void ExchangeWithTheBoard() {
    sim::BoardScript script;
    script.echo_payload = true;
    script.busy_reads = 2;
    script.wait_reads = 3;
    sim::Board *board = UseBoard(script);
    const uint8_t payload[] = {0xAA, 0xBB};
    CHECK_EQ(lib.Send(0x0304, 0x0102, payload, 2), 0);
    CHECK_EQ(emu::PortTraceText(),
             std::string("out 0303, 00\nin 0301 = EE\n"
                         "out 0300, 01\nout 0300, 00\nout 0300, 02\nout 0300, 01\n"
                         "out 0300, 04\nout 0300, 03\nout 0300, AA\nout 0300, BB\n"
                         "out 0301, 00\nin 0301 = 24\nin 0301 = 24\nin 0301 = 04\n"));
    CHECK_EQ(board->frames.size(), (size_t)1);
    emu::ClearTrace();
    uint8_t buffer[16] = {};
    int32_t count = -1;
    CHECK_EQ(lib.Read(buffer, &count), 0);
    CHECK_EQ(count, 2);
    CHECK_EQ(buffer[0], 0xAA);
    CHECK_EQ(buffer[1], 0xBB);
    CHECK_EQ(emu::PortTraceText(),
             std::string("in 0301 = 04\nin 0301 = 04\nin 0301 = 01\n"
                         "in 0301 = 01\nin 0300 = 00\n  x4\n"  // the four header bytes
                         "in 0301 = 01\n"
                         "in 0301 = 01\nin 0300 = AA\nin 0301 = 01\nin 0300 = BB\n"
                         "in 0301 = 00\n"));
}

void ReplyTimeoutAndShortReply() {
    UseBoard({});  // no reply pending: ReplyWait stays set
    CHECK_EQ(lib.Timeout(10), 0);
    int32_t count = 77;
    DWORD start = GetTickCount();
    CHECK_EQ(lib.Read(nullptr, &count), 3);
    DWORD elapsed = GetTickCount() - start;
    CHECK_EQ(count, 0);
    CHECK_EQ(emu::PortEvents().size(), (size_t)6);  // five pauses between six reads
    CHECK_TRUE(elapsed >= 80);                      // about 5 x 20 ms really slept

    sim::BoardScript script;
    script.reply_pending = true;
    script.reply = {0x00, 0x00, 0x05};
    UseBoard(script);
    uint8_t buffer[4] = {9, 9, 9, 9};
    count = 77;
    CHECK_EQ(lib.Read(buffer, &count), 2);
    CHECK_EQ(count, 0);
    CHECK_EQ(buffer[0], 9);
    CHECK_EQ(lib.Timeout(200), 0);
}

void StatusWordsAndTheLargestPayload() {
    sim::BoardScript script;
    script.reply_pending = true;
    script.reply = {0, 0, 0x00, 0x80};
    script.endless_reply = true;
    UseBoard(script);
    std::vector<uint8_t> buffer(4092 + 32, 0xCC);
    int32_t count = 0;
    CHECK_EQ(lib.Read(buffer.data(), &count), 32768);
    CHECK_EQ(count, 4092);
    CHECK_EQ(buffer[4091], (uint8_t)((4091 + 4) & 0xFF));
    CHECK_EQ(buffer[4092], 0xCC);
    CHECK_EQ(buffer[4092 + 31], 0xCC);
}

void BaseWrapsAndKeepsSixteenBits() {
    sim::BoardScript script;
    script.base = 0xFFFE;
    UseBoard(script);
    CHECK_EQ(lib.Init(0x1FFFE), 0);
    CHECK_EQ(lib.Reset(), 0);
    CHECK_EQ(emu::PortTraceText(), std::string("out 0001, 00\nin FFFF = EE\n"));
    CHECK_EQ(lib.Init(0x300), 0);
}

void LastErrorIsLeftAloneAndBadLengthsRefused() {
    UseBoard({});
    SetLastError(4321);
    CHECK_EQ(lib.Reset(), 0);
    CHECK_EQ(lib.Init(0x300), 0);
    CHECK_EQ(lib.Timeout(200), 0);
    CHECK_EQ(GetLastError(), (DWORD)4321);
    emu::ClearTrace();
    CHECK_EQ(lib.Send(1, 2, nullptr, -1), 1);
    CHECK_EQ(GetLastError(), (DWORD)87);
    CHECK_EQ(emu::PortEvents().size(), (size_t)0);
}

}  // namespace

int main() {
    CHECK_TRUE((GetVersion() & 0x80000000u) != 0);  // the prefix reports Windows 98
    CHECK_TRUE(lib.Load());
    if (!lib.Read) return check::Summary();

    ReadyBoardResets();
    ExchangeWithTheBoard();
    ReplyTimeoutAndShortReply();
    StatusWordsAndTheLargestPayload();
    BaseWrapsAndKeepsSixteenBits();
    LastErrorIsLeftAloneAndBadLengthsRefused();
    NoBoardIsNotFoundAfterAllReads();

    emu::RemovePortEmulator();
    FreeLibrary(lib.module);
    return check::Summary();
}
