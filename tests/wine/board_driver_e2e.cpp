// The real d418lib.dll on the NT family against d418.sys itself (its test
// build, whose board is simulated inside the driver: at 0x300, answering a
// frame with the frame from w1 on, so the status word is w2 and the payload
// comes back; w1 0xFF0n cuts the answer to n bytes).
//
//   board_driver_e2e            the exchanges, a second open, and a process
//                               killed while its read waits
//   board_driver_e2e child-wait (used by the kill check) loads the library,
//                               resets, sets the largest timeout and reads
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "bound_library.h"
#include "spawn.h"
#include "wine_check.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kInit = 0xD418240C;
const char kWaiting[] = "D418BoardDriverChildWaiting";

BoundLibrary lib;

void Exchanges() {
    CHECK_EQ(lib.Init(0x300), 0);
    CHECK_EQ(lib.Reset(), 0);

    // A payload goes out and comes back; the status word is w2.
    const uint8_t payload[] = {0xAA, 0xBB, 0xCC};
    CHECK_EQ(lib.Send(0x0000, 0x0102, payload, 3), 0);
    uint8_t buffer[4092];
    memset(buffer, 0x55, sizeof buffer);
    int32_t count = -1;
    CHECK_EQ(lib.Read(buffer, &count), 0);
    CHECK_EQ(count, 3);
    CHECK_EQ(Bytes(buffer, buffer + 4), (Bytes{0xAA, 0xBB, 0xCC, 0x55}));

    // The largest payload, and a status word passed through.
    std::vector<uint8_t> big(4092);
    for (size_t i = 0; i < big.size(); i++) big[i] = (uint8_t)(i * 7);
    CHECK_EQ(lib.Send(0x1234, 0x0001, big.data(), (int32_t)big.size()), 0);
    count = -1;
    CHECK_EQ(lib.Read(buffer, &count), 0x1234);
    CHECK_EQ(count, 4092);
    CHECK_EQ(Bytes(buffer, buffer + 4092), big);

    // No frame sent since a reset: the read waits its timeout (10
    // hundredths: 5 pauses).
    CHECK_EQ(lib.Reset(), 0);
    CHECK_EQ(lib.Timeout(10), 0);
    count = -1;
    DWORD start = GetTickCount();
    CHECK_EQ(lib.Read(buffer, &count), 3);
    DWORD took = GetTickCount() - start;
    CHECK_EQ(count, 0);
    CHECK_TRUE(took >= 80 && took < 2000);
    CHECK_EQ(lib.Timeout(200), 0);

    // A reply cut short inside its header: 2.
    CHECK_EQ(lib.Send(0x0000, 0xFF02, nullptr, 0), 0);
    count = -1;
    CHECK_EQ(lib.Read(buffer, &count), 2);
    CHECK_EQ(count, 0);

    // No board at 0x280: reset and send answer "not found".
    CHECK_EQ(lib.Init(0x280), 0);
    CHECK_EQ(lib.Reset(), 4);
    CHECK_EQ(lib.Send(0, 0, nullptr, 0), 4);
    CHECK_EQ(lib.Init(0x300), 0);
    CHECK_EQ(lib.Reset(), 0);
}

// A second open while the library holds the device. Windows refuses the
// open itself (ERROR_SHARING_VIOLATION). Wine hands out a handle even for a
// refused open; the driver then refuses every request on that handle with
// the same error, so the board stays out of reach either way.
void SecondOpen() {
    HANDLE second = CreateFileA("\\\\.\\D418", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (second == INVALID_HANDLE_VALUE) {
        CHECK_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    } else {
        printf("note: the second open gave a handle (Wine); its requests must fail\n");
        uint8_t base[4] = {0x80, 0x02, 0, 0};
        DWORD returned = 99;
        SetLastError(0);
        CHECK_EQ(DeviceIoControl(second, kInit, base, 4, nullptr, 0, &returned, nullptr), FALSE);
        CHECK_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
        CloseHandle(second);
    }
    // The first handle still works, and the refused request changed nothing.
    CHECK_EQ(lib.Reset(), 0);
}

// A load whose first request reaches the board, tried for up to a second:
// under Wine the close of a handle that a process before this one held
// reaches the driver a moment after that process ends, and until then this
// process's open is refused (with a handle all the same).
bool LoadWorking() {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 1000) {
        if (lib.Load()) {
            if (lib.Init(0x300) == 0) return true;
            FreeLibrary(lib.module);
            lib.module = nullptr;
        }
        Sleep(20);
    }
    return false;
}

// Whether the child signalled that its read starts (and did not end first).
bool CHECK_EQ_WAIT(DWORD result) {
    CHECK_EQ(result, (DWORD)WAIT_OBJECT_0);
    return result == WAIT_OBJECT_0;
}

// A process killed while its read waits with the largest timeout (2^31
// pauses) is gone within a second, and a new load then works.
void KilledDuringRead() {
    HANDLE waiting = CreateEventA(nullptr, TRUE, FALSE, kWaiting);
    HANDLE child = Spawn("child-wait");
    CHECK_TRUE(child != nullptr);
    if (!child) return;
    HANDLE either[2] = {waiting, child};
    if (!CHECK_EQ_WAIT(WaitForMultipleObjects(2, either, FALSE, 20000))) {
        DWORD code = 0;
        GetExitCodeProcess(child, &code);
        printf("the child did not start its read (exit code %lu)\n", (unsigned long)code);
        TerminateProcess(child, 1);
        CloseHandle(child);
        return;
    }
    // The child is inside its read request now; let it wait a while.
    Sleep(500);
    CHECK_EQ(WaitForSingleObject(child, 0), (DWORD)WAIT_TIMEOUT);
    DWORD start = GetTickCount();
    CHECK_TRUE(TerminateProcess(child, 77));
    CHECK_EQ(WaitForSingleObject(child, 1000), (DWORD)WAIT_OBJECT_0);
    DWORD gone = GetTickCount() - start;
    printf("killed child gone after %lu ms\n", (unsigned long)gone);
    DWORD code = 0;
    GetExitCodeProcess(child, &code);
    CHECK_EQ(code, (DWORD)77);
    CloseHandle(child);
    CloseHandle(waiting);

    // A new load, whose requests reach the board: the driver has ended the
    // wait and seen the killed process's handle close. (Under Wine a load
    // succeeds even while the driver is held, so the first request decides.)
    start = GetTickCount();
    bool working = LoadWorking();
    printf("a new load worked after %lu ms\n", (unsigned long)(GetTickCount() - start));
    CHECK_TRUE(working);
    if (!working) return;
    CHECK_EQ(lib.Init(0x300), 0);
    CHECK_EQ(lib.Reset(), 0);
    const uint8_t payload[] = {0x42};
    CHECK_EQ(lib.Send(7, 1, payload, 1), 0);
    uint8_t buffer[16];
    int32_t count = -1;
    CHECK_EQ(lib.Read(buffer, &count), 7);
    CHECK_EQ(count, 1);
    CHECK_EQ(buffer[0], 0x42);
}

int ChildWait() {
    HANDLE waiting = OpenEventA(EVENT_MODIFY_STATE, FALSE, kWaiting);
    if (!waiting || !LoadWorking()) return 2;
    if (lib.Reset() != 0 || lib.Timeout(0xFFFFFFFFu) != 0) return 3;
    SetEvent(waiting);
    uint8_t buffer[4092];
    int32_t count = 0;
    lib.Read(buffer, &count);
    return 4;  // not reached: the read waits until the process is killed
}

}  // namespace

int main(int argc, char **argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "child-wait") return ChildWait();

    // The kill check comes first: its child must be the only process that
    // has the library loaded.
    KilledDuringRead();
    if (lib.module) {
        Exchanges();
        SecondOpen();
    }
    return check::Summary();
}
