// The real d418lib.dll on the NT family against d418.sys itself (its test
// build, whose board is simulated inside the driver: at 0x300, answering a
// frame with the frame from w1 on, so the status word is w2 and the payload
// comes back; w1 0xFF0n cuts the answer to n bytes, w1 0xFE00 + n gives it
// after about n pauses of 20 ms).
//
//   board_driver_e2e            raw requests on an overlapped handle (reads
//                               cancelled with CancelIo, a short read), a
//                               process killed while its read waits, the
//                               exchanges, a user APC during a read, two
//                               threads on the library's handle, a second
//                               open
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

constexpr uint32_t kReadResponse = 0xD4182400;
constexpr uint32_t kSendCommand = 0xD4182404;
constexpr uint32_t kTimeout = 0xD4182408;
constexpr uint32_t kInit = 0xD418240C;
constexpr uint32_t kReset = 0xD4182414;
const char kWaiting[] = "D418BoardDriverChildWaiting";

// ---- raw requests on an overlapped handle ----

// One request on an overlapped handle: started, then waited for. Returns
// the request's success; *error is GetLastError() on failure.
bool Control(HANDLE device, DWORD code, const void *input, DWORD input_length, void *output,
             DWORD output_length, DWORD *returned, DWORD *error) {
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    *returned = 0;
    *error = 0;
    BOOL ok = DeviceIoControl(device, code, const_cast<void *>(input), input_length, output,
                              output_length, returned, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(device, &ov, returned, TRUE);
    if (!ok) *error = GetLastError();
    CloseHandle(ov.hEvent);
    return ok != FALSE;
}

// A read started on an overlapped handle, left to wait.
struct PendingRead {
    OVERLAPPED ov = {};
    uint8_t buffer[4096];
    DWORD returned = 0;
    bool pending = false;

    explicit PendingRead(HANDLE device) {
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        BOOL ok = DeviceIoControl(device, kReadResponse, nullptr, 0, buffer, sizeof buffer,
                                  &returned, &ov);
        pending = !ok && GetLastError() == ERROR_IO_PENDING;
    }
    ~PendingRead() { CloseHandle(ov.hEvent); }
};

// The first open of the program, tried for up to a second like LoadWorking
// (a handle closed just before may still hold the device under Wine).
HANDLE OpenOverlapped() {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 1000) {
        HANDLE device = CreateFileA("\\\\.\\D418", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (device != INVALID_HANDLE_VALUE) {
            uint8_t base[4] = {0x00, 0x03, 0, 0};
            DWORD returned, error;
            if (Control(device, kInit, base, 4, nullptr, 0, &returned, &error)) return device;
            CloseHandle(device);
        }
        Sleep(20);
    }
    return INVALID_HANDLE_VALUE;
}

// Reads waiting on the board (the largest timeout), one running and one
// queued behind it, end with ERROR_OPERATION_ABORTED within a second of
// CancelIo; the next read works. A read whose buffer cannot hold the
// largest reply fails with ERROR_INSUFFICIENT_BUFFER, and the reply is
// still there for the next read.
void RawOverlapped() {
    HANDLE device = OpenOverlapped();
    CHECK_TRUE(device != INVALID_HANDLE_VALUE);
    if (device == INVALID_HANDLE_VALUE) return;
    DWORD returned, error;
    uint8_t ack[4];
    CHECK_TRUE(Control(device, kReset, nullptr, 0, ack, 4, &returned, &error));
    CHECK_EQ(returned, 0);
    const uint8_t largest[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    CHECK_TRUE(Control(device, kTimeout, largest, 4, nullptr, 0, &returned, &error));

    {
        PendingRead running(device);
        PendingRead queued(device);
        CHECK_TRUE(running.pending);
        CHECK_TRUE(queued.pending);
        Sleep(300);
        CHECK_EQ(WaitForSingleObject(running.ov.hEvent, 0), (DWORD)WAIT_TIMEOUT);
        DWORD start = GetTickCount();
        CHECK_TRUE(CancelIo(device));
        for (PendingRead *read : {&running, &queued}) {
            CHECK_EQ(WaitForSingleObject(read->ov.hEvent, 1000), (DWORD)WAIT_OBJECT_0);
            SetLastError(0);
            CHECK_EQ(GetOverlappedResult(device, &read->ov, &read->returned, FALSE), FALSE);
            CHECK_EQ(GetLastError(), (DWORD)ERROR_OPERATION_ABORTED);
            CHECK_EQ(read->returned, 0);
        }
        DWORD took = GetTickCount() - start;
        printf("reads cancelled after %lu ms\n", (unsigned long)took);
        CHECK_TRUE(took < 1000);
    }

    const uint8_t hundredths[4] = {200, 0, 0, 0};
    CHECK_TRUE(Control(device, kTimeout, hundredths, 4, nullptr, 0, &returned, &error));
    // w1 0, w2 5, payload 42: the reply is status word 5 and the payload.
    const uint8_t frame[7] = {0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x42};
    CHECK_TRUE(Control(device, kSendCommand, frame, 7, ack, 4, &returned, &error));
    CHECK_EQ(returned, 0);
    uint8_t reply[4096];
    CHECK_EQ(Control(device, kReadResponse, nullptr, 0, reply, 100, &returned, &error), false);
    CHECK_EQ(error, (DWORD)ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(returned, 0);
    CHECK_TRUE(Control(device, kReadResponse, nullptr, 0, reply, sizeof reply, &returned, &error));
    CHECK_EQ(Bytes(reply, reply + returned), (Bytes{0x00, 0x00, 0x05, 0x00, 0x42}));
    CloseHandle(device);
}

// ---- the library ----

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

    // The driver drives only its configured base (0x300 here): another is
    // refused with 5, and the requests after it still reach the board.
    CHECK_EQ(lib.Init(0x280), 1);
    CHECK_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CHECK_EQ(lib.Reset(), 0);
    CHECK_EQ(lib.Init(0x10300), 0);
    CHECK_EQ(lib.Init(0x300), 0);
    CHECK_EQ(lib.Reset(), 0);
}

// A read on its own thread, with the time it took.
struct ReadJob {
    int32_t result = -1;
    int32_t count = -1;
    uint8_t buffer[4092];
    DWORD started = 0;
    DWORD took = 0;
    HANDLE sent = nullptr;       // set once the frame is sent (if send_first)
    bool send_first = false;
    int32_t w1 = 0;
    uint8_t payload = 0;
    int32_t send_result = -1;
    DWORD send_ended = 0;
    bool read_returned = false;
    bool apc_after_read = false; // set by the APC: it ran after the read
    bool apc_ran = false;
};

DWORD WINAPI ReadThread(void *context) {
    ReadJob *job = static_cast<ReadJob *>(context);
    if (job->send_first) {
        job->send_result = lib.Send(0x0000, job->w1, &job->payload, 1);
        job->send_ended = GetTickCount();
        if (job->sent) SetEvent(job->sent);
    }
    job->started = GetTickCount();
    job->result = lib.Read(job->buffer, &job->count);
    job->took = GetTickCount() - job->started;
    job->read_returned = true;
    SleepEx(0, TRUE);  // lets a queued APC run now
    return 0;
}

VOID CALLBACK MarkApc(ULONG_PTR context) {
    ReadJob *job = reinterpret_cast<ReadJob *>(context);
    job->apc_ran = true;
    job->apc_after_read = job->read_returned;
}

// A user APC queued to a thread waiting in D418ReadResponse does not end
// the read: the board answers after about 50 pauses, and the read returns
// that reply; the APC runs only once the thread waits alertably.
void ApcDuringRead() {
    const uint8_t payload = 0x5A;
    CHECK_EQ(lib.Send(0x0000, 0xFE32, &payload, 1), 0);
    ReadJob job;
    HANDLE thread = CreateThread(nullptr, 0, ReadThread, &job, 0, nullptr);
    CHECK_TRUE(thread != nullptr);
    if (!thread) return;
    Sleep(200);
    CHECK_TRUE(QueueUserAPC(MarkApc, thread, reinterpret_cast<ULONG_PTR>(&job)) != 0);
    CHECK_EQ(WaitForSingleObject(thread, 10000), (DWORD)WAIT_OBJECT_0);
    CloseHandle(thread);
    printf("the read with an APC queued returned after %lu ms\n", (unsigned long)job.took);
    CHECK_EQ(job.result, 0);
    CHECK_EQ(job.count, 1);
    CHECK_EQ(job.buffer[0], 0x5A);
    CHECK_TRUE(job.took >= 500);
    CHECK_TRUE(job.apc_ran);
    CHECK_TRUE(job.apc_after_read);
}

// Two threads on the library's one handle: the first sends a frame the
// board answers late and waits in its read; the second's send and read
// wait their turn behind it. Each gets its own reply, one after the other.
void TwoThreadsShareTheHandle() {
    ReadJob first, second;
    first.send_first = second.send_first = true;
    first.w1 = 0xFE19;  // about 25 pauses
    first.payload = 0xA1;
    second.payload = 0xB2;
    first.sent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE a = CreateThread(nullptr, 0, ReadThread, &first, 0, nullptr);
    CHECK_EQ(WaitForSingleObject(first.sent, 5000), (DWORD)WAIT_OBJECT_0);
    Sleep(100);  // the first thread's read is in the driver now
    HANDLE b = CreateThread(nullptr, 0, ReadThread, &second, 0, nullptr);
    HANDLE both[2] = {a, b};
    CHECK_EQ(WaitForMultipleObjects(2, both, TRUE, 10000), (DWORD)WAIT_OBJECT_0);
    CloseHandle(a);
    CloseHandle(b);
    CloseHandle(first.sent);
    for (ReadJob *job : {&first, &second}) {
        CHECK_EQ(job->send_result, 0);
        CHECK_EQ(job->result, 0);
        CHECK_EQ(job->count, 1);
        CHECK_EQ(job->buffer[0], job->payload);
    }
    // The second send waited behind the first read, whose reply came after
    // about 500 ms.
    printf("the first read took %lu ms, the second send ended %lu ms after it began\n",
           (unsigned long)first.took, (unsigned long)(second.send_ended - first.started));
    CHECK_TRUE(second.send_ended - first.started >= 400);
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

    // The raw requests come first and close their handle; then the kill
    // check, whose child must be the only process that has the library
    // loaded.
    RawOverlapped();
    KilledDuringRead();
    if (lib.module) {
        Exchanges();
        ApcDuringRead();
        TwoThreadsShareTheHandle();
        SecondOpen();
    }
    return check::Summary();
}
