// d418.sys's request queue and its cancellation (driver/queue.c), with the
// driver's reply wait (lib/platform_ntkernel.c), both compiled unchanged
// against the host stand-in of the kernel calls (sim/kernel_standin/), and
// the request handling driving the C board model on the simulated
// platform. The driver thread's steps are taken by the test, one at a time;
// a cancel "from another thread" is made at a chosen pause of a wait.
#include <gtest/gtest.h>

#include <ntddk.h>

#include <memory>
#include <string>
#include <vector>

#include "host_platform.h"
#include "platform_ntkernel.h"
#include "queue.h"
#include "requests.h"
#include "sim_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A control request as the I/O manager builds it, on one file object.
struct Request {
    IRP irp = {};
    Bytes buffer;

    Request(PFILE_OBJECT file, uint32_t code, const Bytes &input, uint32_t output_length) {
        buffer.assign(std::max<size_t>(input.size(), output_length), 0xCD);
        std::copy(input.begin(), input.end(), buffer.begin());
        irp.AssociatedIrp.SystemBuffer = buffer.empty() ? nullptr : buffer.data();
        irp.Stack.FileObject = file;
        irp.Stack.Parameters.DeviceIoControl.IoControlCode = code;
        irp.Stack.Parameters.DeviceIoControl.InputBufferLength = (ULONG)input.size();
        irp.Stack.Parameters.DeviceIoControl.OutputBufferLength = output_length;
    }
    Bytes Answer() const {
        return Bytes(buffer.begin(), buffer.begin() + irp.IoStatus.Information);
    }
};

const Bytes kMaxTimeout = {0xFF, 0xFF, 0xFF, 0xFF};
// A frame 01 00, w1 0x0000, w2 0x0005, payload 42: the echoing board
// answers status word 5 and the payload.
const Bytes kFrame = {0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x42};
const Bytes kEcho = {0x00, 0x00, 0x05, 0x00, 0x42};

// The test's own hook state: the request to cancel, and at which pause.
PIRP cancel_target = nullptr;
int cancel_at = 0;
PFILE_OBJECT cleanup_file = nullptr;

void CancelAtPause(int pause) {
    if (pause != cancel_at) return;
    if (cancel_target) IoCancelIrp(cancel_target);
    if (cleanup_file) D418QueueCancelFile(cleanup_file);
}

class Queue : public ::testing::Test {
protected:
    void SetUp() override {
        sim::P().Reset();
        StandinReset();
        D418RequestsReset();
        D418QueueInit();
        KernelPlatformSetCancelSignal(D418QueueCancelSignal());
        cancel_target = nullptr;
        cleanup_file = nullptr;
        cancel_at = 0;
        board_ = std::make_unique<drvtest::ModelDevice>();
        board_->model.script.echo_frame = 1;
        BoardModelStart(&board_->model);
        sim::P().ports = board_.get();
    }
    void TearDown() override {
        sim::P().ports = nullptr;
        EXPECT_EQ(StandinMisuses, 0);
    }

    // Queues r; the dispatch routine's answer.
    NTSTATUS Add(Request &r) { return D418QueueAdd(&r.irp); }
    // Runs every queued request, as the driver thread does.
    int RunAll() {
        int n = 0;
        while (D418QueueRunNext()) n++;
        return n;
    }
    // The requests completed so far, in order.
    std::vector<PIRP> Completed() const {
        std::vector<PIRP> irps;
        for (int i = 0; i < StandinCompletedCount; i++) irps.push_back(StandinCompleted[i].irp);
        return irps;
    }

    FILE_OBJECT file_ = {};
    FILE_OBJECT other_file_ = {};
    std::unique_ptr<drvtest::ModelDevice> board_;
};

TEST_F(Queue, RequestsArePendedAndTakenInOrder) {
    Request send(&file_, IOCTL_D418_SEND_COMMAND, kFrame, 4);
    Request read(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    Request reset(&file_, IOCTL_D418_RESET, {}, 4);
    EXPECT_EQ(Add(send), STATUS_PENDING);
    EXPECT_EQ(Add(read), STATUS_PENDING);
    EXPECT_EQ(Add(reset), STATUS_PENDING);
    EXPECT_EQ(StandinCompletedCount, 0);  // nothing runs in the dispatch routine
    EXPECT_EQ(sim::PortTrace(), "");

    EXPECT_EQ(RunAll(), 3);
    EXPECT_EQ(Completed(), (std::vector<PIRP>{&send.irp, &read.irp, &reset.irp}));
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(StandinCompleted[i].status, STATUS_SUCCESS);
        EXPECT_TRUE(StandinCompleted[i].pending);
    }
    // The read found the reply the send armed.
    EXPECT_EQ(read.Answer(), kEcho);
    EXPECT_EQ(board_->model.resets, 2u);
    EXPECT_FALSE(D418QueueRunNext());
}

TEST_F(Queue, ARequestCancelledWhileQueuedLeavesTheQueueAtOnce) {
    Request first(&file_, IOCTL_D418_RESET, {}, 4);
    Request second(&file_, IOCTL_D418_SEND_COMMAND, kFrame, 4);
    Request third(&file_, IOCTL_D418_RESET, {}, 4);
    Add(first);
    Add(second);
    Add(third);

    EXPECT_TRUE(IoCancelIrp(&second.irp));
    ASSERT_EQ(StandinCompletedCount, 1);
    EXPECT_EQ(StandinCompleted[0].irp, &second.irp);
    EXPECT_EQ(StandinCompleted[0].status, STATUS_CANCELLED);
    EXPECT_EQ(StandinCompleted[0].information, 0u);
    EXPECT_EQ(sim::PortTrace(), "");

    // The others run in order; the cancelled send never reaches the board.
    EXPECT_EQ(RunAll(), 2);
    EXPECT_EQ(Completed(), (std::vector<PIRP>{&second.irp, &first.irp, &third.irp}));
    EXPECT_EQ(board_->model.frames_sent, 0u);
    // A request already completed cannot be cancelled again.
    EXPECT_FALSE(IoCancelIrp(&second.irp));
}

TEST_F(Queue, ARequestCancelledBeforeItIsQueuedCompletesAtOnce) {
    Request read(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    read.irp.Cancel = TRUE;
    EXPECT_EQ(Add(read), STATUS_CANCELLED);
    ASSERT_EQ(StandinCompletedCount, 1);
    EXPECT_EQ(StandinCompleted[0].status, STATUS_CANCELLED);
    EXPECT_FALSE(D418QueueRunNext());
}

// The largest timeout (2^31 - 1 pauses); the request is cancelled, as by
// the I/O manager on another thread, during its third pause, and ends there:
// three status reads, three pauses, nothing else on the bus.
TEST_F(Queue, AWaitingReadCancelledEndsWithinOnePause) {
    Request timeout(&file_, IOCTL_D418_TIMEOUT, kMaxTimeout, 0);
    Request read(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    Add(timeout);
    Add(read);
    cancel_target = &read.irp;
    cancel_at = 3;
    StandinOnWait = CancelAtPause;

    EXPECT_EQ(RunAll(), 2);
    ASSERT_EQ(StandinCompletedCount, 2);
    EXPECT_EQ(StandinCompleted[1].irp, &read.irp);
    EXPECT_EQ(StandinCompleted[1].status, STATUS_CANCELLED);
    EXPECT_EQ(StandinCompleted[1].information, 0u);
    EXPECT_EQ(sim::PortTrace(), "in 0301 = 04\nSleep 20\nin 0301 = 04\nSleep 20\n"
                                "in 0301 = 04\nSleep 20\n");

    // The next read starts with the signal cleared: it waits for its reply
    // (3 wait reads, of which the send's last status read takes one: 2
    // pauses) and gets it.
    board_->model.script.wait_reads = 3;
    Request send(&file_, IOCTL_D418_SEND_COMMAND, kFrame, 4);
    Request next(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    Add(send);
    Add(next);
    sim::P().Reset();
    sim::P().ports = board_.get();
    EXPECT_EQ(RunAll(), 2);
    EXPECT_EQ(StandinCompleted[3].status, STATUS_SUCCESS);
    EXPECT_EQ(next.Answer(), kEcho);
    EXPECT_EQ(sim::P().sleeps, 2u);
}

// A read cancelled in its wait takes nothing off the board: the reply that
// comes meanwhile is there for the next read.
TEST_F(Queue, AReadCancelledInItsWaitLeavesTheReplyOnTheBoard) {
    board_->model.script.wait_reads = 2;  // the send's last status read takes one
    Request send(&file_, IOCTL_D418_SEND_COMMAND, kFrame, 4);
    Request read(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    Add(send);
    Add(read);
    D418QueueRunNext();
    // Cancelled during its one pause, after which the board would be
    // ready: the wait ends on the signal before the reply is read.
    cancel_target = &read.irp;
    cancel_at = 1;
    StandinOnWait = CancelAtPause;
    D418QueueRunNext();
    EXPECT_EQ(StandinCompleted[1].status, STATUS_CANCELLED);
    // The reply is still on the board for the next read.
    Request again(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    Add(again);
    D418QueueRunNext();
    EXPECT_EQ(StandinCompleted[2].status, STATUS_SUCCESS);
    EXPECT_EQ(again.Answer(), kEcho);
}

struct ShortReadCase {
    const char *name;
    uint32_t output_length;
};

class ShortRead : public Queue, public ::testing::WithParamInterface<ShortReadCase> {};

// A read whose output cannot hold the largest reply is refused before the
// board is touched; the reply waiting on the board stays there.
TEST_P(ShortRead, IsRefusedWithoutPortAccess) {
    Request send(&file_, IOCTL_D418_SEND_COMMAND, kFrame, 4);
    Add(send);
    RunAll();
    sim::P().Reset();
    sim::P().ports = board_.get();

    Request read(&file_, IOCTL_D418_READ_RESPONSE, {}, GetParam().output_length);
    Add(read);
    RunAll();
    EXPECT_EQ(StandinCompleted[1].status, (NTSTATUS)D418_STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(StandinCompleted[1].information, 0u);
    EXPECT_EQ(sim::PortTrace(), "");

    Request whole(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    Add(whole);
    RunAll();
    EXPECT_EQ(StandinCompleted[2].status, STATUS_SUCCESS);
    EXPECT_EQ(whole.Answer(), kEcho);
}

INSTANTIATE_TEST_SUITE_P(Read, ShortRead,
                         ::testing::Values(ShortReadCase{"header_only", 4},
                                           ShortReadCase{"bytes_100", 100},
                                           ShortReadCase{"bytes_4095", 4095}),
                         [](const auto &info) { return std::string(info.param.name); });

// The last handle's cleanup: the file's queued requests complete as
// cancelled, its running one ends at its pause, and another file's request
// stays queued and runs afterwards.
TEST_F(Queue, CleanupCancelsTheFilesRequestsOnly) {
    Request timeout(&file_, IOCTL_D418_TIMEOUT, kMaxTimeout, 0);
    Request waiting(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    Request queued(&file_, IOCTL_D418_RESET, {}, 4);
    Request others(&other_file_, IOCTL_D418_RESET, {}, 4);
    Add(timeout);
    Add(waiting);
    Add(queued);
    Add(others);
    D418QueueRunNext();  // the timeout

    cleanup_file = &file_;
    cancel_at = 2;
    StandinOnWait = CancelAtPause;
    D418QueueRunNext();  // the read, cleaned up during its second pause
    ASSERT_EQ(StandinCompletedCount, 3);
    EXPECT_EQ(StandinCompleted[1].irp, &queued.irp);
    EXPECT_EQ(StandinCompleted[1].status, STATUS_CANCELLED);
    EXPECT_EQ(StandinCompleted[2].irp, &waiting.irp);
    EXPECT_EQ(StandinCompleted[2].status, STATUS_CANCELLED);
    EXPECT_EQ(sim::P().sleeps, 2u);

    EXPECT_EQ(RunAll(), 1);
    EXPECT_EQ(StandinCompleted[3].irp, &others.irp);
    EXPECT_EQ(StandinCompleted[3].status, STATUS_SUCCESS);
}

// Unload: the queue closes, everything queued is cancelled, the running
// request is signalled, later requests are refused, and the thread may end.
TEST_F(Queue, CloseCancelsEverythingAndRefusesMore) {
    Request timeout(&file_, IOCTL_D418_TIMEOUT, kMaxTimeout, 0);
    Request waiting(&file_, IOCTL_D418_READ_RESPONSE, {}, 4096);
    Request queued(&other_file_, IOCTL_D418_RESET, {}, 4);
    Add(timeout);
    Add(waiting);
    Add(queued);
    D418QueueRunNext();
    EXPECT_FALSE(D418QueueFinished());

    StandinOnWait = [](int pause) {
        if (pause == 1) D418QueueClose();
    };
    D418QueueRunNext();
    ASSERT_EQ(StandinCompletedCount, 3);
    EXPECT_EQ(StandinCompleted[1].irp, &queued.irp);
    EXPECT_EQ(StandinCompleted[1].status, STATUS_CANCELLED);
    EXPECT_EQ(StandinCompleted[2].irp, &waiting.irp);
    EXPECT_EQ(StandinCompleted[2].status, STATUS_CANCELLED);
    EXPECT_FALSE(D418QueueRunNext());
    EXPECT_TRUE(D418QueueFinished());

    Request late(&file_, IOCTL_D418_RESET, {}, 4);
    EXPECT_EQ(Add(late), STATUS_CANCELLED);
    EXPECT_EQ(StandinCompleted[3].status, STATUS_CANCELLED);
    EXPECT_EQ(board_->model.resets, 0u);
}

}  // namespace
