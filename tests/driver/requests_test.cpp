// The driver's request handling against the C board model, compared port
// access by port access: every request, short and missing buffers (a short
// read leaves the reply on the board), a wait ended early, and a board that
// never clears DataReady.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host_platform.h"
#include "named_case.h"
#include "requests.h"
#include "sim_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kSuccess = D418_STATUS_SUCCESS;
constexpr int32_t kInvalidParameter = D418_STATUS_INVALID_PARAMETER;
constexpr int32_t kTooSmall = D418_STATUS_BUFFER_TOO_SMALL;
constexpr int32_t kInvalidRequest = D418_STATUS_INVALID_DEVICE_REQUEST;
constexpr int32_t kCancelled = D418_STATUS_CANCELLED;

// One request as the I/O manager hands it over: one buffer of the larger
// length, holding the input.
struct Outcome {
    int32_t status;
    Bytes answer;  // the first `answered` bytes of the buffer
};

class Requests : public ::testing::Test {
protected:
    void SetUp() override {
        sim::P().Reset();
        drvtest::end_wait_after = 0;
        D418RequestsConfigure(0x300);
        board_ = std::make_unique<drvtest::ModelDevice>();
        BoardModelStart(&board_->model);
        sim::P().ports = board_.get();
    }
    void TearDown() override { sim::P().ports = nullptr; }

    BoardModelScript &Script() { return board_->model.script; }
    // Applies the script changed by the test (a pending reply is armed).
    void Start() { BoardModelStart(&board_->model); }
    void Reply(const Bytes &bytes) {
        BoardModelSetReply(&board_->model, bytes.data(), (uint32_t)bytes.size());
    }

    Outcome Call(uint32_t code, const Bytes &input, uint32_t output_length,
                 bool null_buffer = false) {
        size_t size = std::max<size_t>(input.size(), output_length);
        buffer_.assign(size, 0xCD);
        std::copy(input.begin(), input.end(), buffer_.begin());
        uint32_t answered = 12345;
        int32_t status = D418HandleRequest(code, null_buffer ? nullptr : buffer_.data(),
                                           (uint32_t)input.size(), output_length, &answered);
        EXPECT_LE(answered, output_length);
        return {status, Bytes(buffer_.begin(), buffer_.begin() + answered)};
    }

    std::unique_ptr<drvtest::ModelDevice> board_;
    Bytes buffer_;
};

const Bytes kBase300 = {0x00, 0x03, 0x00, 0x00};

// ---- requests refused before the board is touched ----

struct RefusedCase {
    const char *name;
    uint32_t code;
    Bytes input;
    uint32_t output_length;
    bool null_buffer;
    int32_t status;
};

class Refused : public Requests, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(Refused, LeavesTheBoardAndTheSettingsAlone) {
    const RefusedCase &c = GetParam();
    Outcome out = Call(c.code, c.input, c.output_length, c.null_buffer);
    EXPECT_EQ(out.status, c.status);
    EXPECT_EQ(out.answer, Bytes{});
    EXPECT_EQ(sim::PortTrace(), "");
    // The settings are untouched: a reset still goes to 0x300.
    EXPECT_EQ(Call(IOCTL_D418_RESET, {}, 4).status, kSuccess);
    EXPECT_EQ(sim::PortTrace(), "out 0303, 00\nin 0301 = EE\n");
}

INSTANTIATE_TEST_SUITE_P(
    ShortAndMissingBuffers, Refused,
    ::testing::Values(
        RefusedCase{"init_without_input", IOCTL_D418_INIT, {}, 0, true, kInvalidParameter},
        RefusedCase{"init_with_3_bytes", IOCTL_D418_INIT, {0x80, 0x02, 0x00}, 0, false,
                    kInvalidParameter},
        RefusedCase{"init_with_a_null_buffer", IOCTL_D418_INIT, {0x80, 0x02, 0, 0}, 0, true,
                    kInvalidParameter},
        RefusedCase{"timeout_without_input", IOCTL_D418_TIMEOUT, {}, 0, true, kInvalidParameter},
        RefusedCase{"timeout_with_2_bytes", IOCTL_D418_TIMEOUT, {1, 0}, 0, false,
                    kInvalidParameter},
        RefusedCase{"reset_without_output", IOCTL_D418_RESET, {}, 0, true, kTooSmall},
        RefusedCase{"reset_with_3_output_bytes", IOCTL_D418_RESET, {}, 3, false, kTooSmall},
        RefusedCase{"send_with_5_bytes", IOCTL_D418_SEND_COMMAND, {1, 0, 2, 1, 4}, 4, false,
                    kInvalidParameter},
        RefusedCase{"send_without_input", IOCTL_D418_SEND_COMMAND, {}, 4, false,
                    kInvalidParameter},
        RefusedCase{"send_with_3_output_bytes", IOCTL_D418_SEND_COMMAND, {1, 0, 2, 1, 4, 3}, 3,
                    false, kTooSmall},
        RefusedCase{"read_with_3_output_bytes", IOCTL_D418_READ_RESPONSE, {}, 3, false,
                    kTooSmall},
        RefusedCase{"read_with_a_null_buffer", IOCTL_D418_READ_RESPONSE, {}, 4096, true,
                    kTooSmall},
        RefusedCase{"read_with_100_output_bytes", IOCTL_D418_READ_RESPONSE, {}, 100, false,
                    kTooSmall},
        RefusedCase{"read_with_4095_output_bytes", IOCTL_D418_READ_RESPONSE, {}, 4095, false,
                    kTooSmall},
        RefusedCase{"unused_function_904", 0xD4182410u, {}, 4, false, kInvalidRequest},
        RefusedCase{"other_device_type", 0x00222400u, {}, 4, false, kInvalidRequest},
        RefusedCase{"other_transfer_method", IOCTL_D418_RESET | 3u, {}, 4, false,
                    kInvalidRequest}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- settings ----

TEST_F(Requests, InitKeepsTheLowSixteenBitsOfItsFourBytes) {
    // A driver configured for 0x1FF, with the board there.
    D418RequestsConfigure(0x1FF);
    Script().base = 0x1FF;
    Start();
    EXPECT_EQ(Call(IOCTL_D418_INIT, {0xFF, 0x01, 0x34, 0x12}, 0).status, kSuccess);
    EXPECT_EQ(sim::PortTrace(), "");  // the address is not tried
    EXPECT_EQ(Call(IOCTL_D418_RESET, {}, 4).answer, Bytes{});
    EXPECT_EQ(sim::PortTrace(), "out 0202, 00\nin 0200 = EE\n");
    // Bytes beyond the fourth are not looked at.
    EXPECT_EQ(Call(IOCTL_D418_INIT, {0xFF, 0x01, 0x00, 0x00, 0x99}, 0).status, kSuccess);
    EXPECT_EQ(Call(IOCTL_D418_RESET, {}, 4).answer, Bytes{});
}

TEST_F(Requests, TimeoutSetsTheReplyWait) {
    // 7 hundredths: 3 pauses.
    EXPECT_EQ(Call(IOCTL_D418_TIMEOUT, {0x07, 0x00, 0x00, 0x00}, 0).status, kSuccess);
    Outcome out = Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, (Bytes{0x00, 0x00, 0x03, 0x00}));
    EXPECT_EQ(sim::PortTrace(), "in 0301 = 04\nSleep 20\nin 0301 = 04\nSleep 20\n"
                                "in 0301 = 04\nSleep 20\nin 0301 = 04\n");
}

// ---- reset ----

TEST_F(Requests, ResetOfAReadyBoardAnswersNothing) {
    Script().ready_on_read = 3;
    Start();
    Outcome out = Call(IOCTL_D418_RESET, {}, 4);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, Bytes{});
    EXPECT_EQ(sim::PortTrace(), "out 0303, 00\nin 0301 = 00\nin 0301 = 00\nin 0301 = EE\n");
}

TEST_F(Requests, ResetWithoutBoardAcknowledgesNotFound) {
    Script().present = 0;
    Start();
    Outcome out = Call(IOCTL_D418_RESET, {}, 4);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, (Bytes{0x00, 0x00, 0x04, 0x00}));
    EXPECT_EQ(sim::PortTrace(), "out 0303, 00\nin 0301 = FF\n  x100000\n");
}

// ---- send ----

TEST_F(Requests, SendWritesTheFrameAndAnswersNothing) {
    Outcome out = Call(IOCTL_D418_SEND_COMMAND, {0x01, 0x00, 0x02, 0x01, 0x04, 0x03, 0xAA}, 4);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, Bytes{});
    EXPECT_EQ(sim::PortTrace(),
              "out 0303, 00\nin 0301 = EE\n"
              "out 0300, 01\nout 0300, 00\nout 0300, 02\nout 0300, 01\n"
              "out 0300, 04\nout 0300, 03\nout 0300, AA\n"
              "out 0301, 00\nin 0301 = 00\n");
    EXPECT_EQ(board_->model.frames_sent, 1u);
    EXPECT_EQ(Bytes(board_->model.frame, board_->model.frame + board_->model.frame_length),
              (Bytes{0x01, 0x00, 0x02, 0x01, 0x04, 0x03, 0xAA}));
}

struct SendFailCase {
    const char *name;
    bool present;
    int32_t busy_reads;
    Bytes ack;
    const char *trace;
};

class SendFails : public Requests, public ::testing::WithParamInterface<SendFailCase> {};

TEST_P(SendFails, AcknowledgesTheTransportsResult) {
    const SendFailCase &c = GetParam();
    Script().present = c.present;
    Script().busy_reads = c.busy_reads;
    Start();
    Outcome out = Call(IOCTL_D418_SEND_COMMAND, {1, 0, 0, 0, 0, 0}, 4);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, c.ack);
    EXPECT_EQ(sim::PortTrace(), c.trace);
}

INSTANTIATE_TEST_SUITE_P(
    Send, SendFails,
    ::testing::Values(
        SendFailCase{"no_board", false, 0, {0x00, 0x00, 0x04, 0x00},
                     "out 0303, 00\nin 0301 = FF\n  x100000\n"},
        SendFailCase{"transmission_never_ends", true, 1000000, {0x00, 0x00, 0x03, 0x00},
                     "out 0303, 00\nin 0301 = EE\nout 0300, 01\nout 0300, 00\nout 0300, 00\n"
                     "out 0300, 00\nout 0300, 00\nout 0300, 00\nout 0301, 00\n"
                     "in 0301 = 24\n  x100001\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- read ----

TEST_F(Requests, ReadAnswersTheHeaderThenThePayload) {
    Script().reply_pending = 1;
    Script().wait_reads = 2;
    Reply({0x12, 0x34, 0x07, 0x01, 0xAA, 0xBB});
    Start();
    Outcome out = Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
    EXPECT_EQ(out.status, kSuccess);
    // Bytes 0-1 of the header are not kept by the transport; the status
    // word and the payload are.
    EXPECT_EQ(out.answer, (Bytes{0x00, 0x00, 0x07, 0x01, 0xAA, 0xBB}));
    EXPECT_EQ(sim::PortTrace(),
              "in 0301 = 04\nSleep 20\nin 0301 = 04\nSleep 20\nin 0301 = 01\n"
              "in 0301 = 01\nin 0300 = 12\nin 0301 = 01\nin 0300 = 34\n"
              "in 0301 = 01\nin 0300 = 07\nin 0301 = 01\nin 0300 = 01\nin 0301 = 01\n"
              "in 0301 = 01\nin 0300 = AA\nin 0301 = 01\nin 0300 = BB\nin 0301 = 00\n");
}

TEST_F(Requests, SendThenReadThroughTheEchoingBoard) {
    Script().echo_frame = 1;
    Start();
    EXPECT_EQ(Call(IOCTL_D418_SEND_COMMAND, {0x01, 0x00, 0x02, 0x01, 0x09, 0x00, 0x42}, 4).status,
              kSuccess);
    Outcome out = Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, (Bytes{0x00, 0x00, 0x09, 0x00, 0x42}));
}

TEST_F(Requests, TimeoutAnswersStatusThree) {
    Outcome out = Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, (Bytes{0x00, 0x00, 0x03, 0x00}));
    EXPECT_EQ(sim::PortTrace(), "in 0301 = 04\nSleep 20\n  x100\nin 0301 = 04\n");
}

struct ShortCase {
    const char *name;
    Bytes reply;
    const char *trace;
};

class ShortHeader : public Requests, public ::testing::WithParamInterface<ShortCase> {};

TEST_P(ShortHeader, AnswersNoBytes) {
    const ShortCase &c = GetParam();
    Script().reply_pending = 1;
    Reply(c.reply);
    Start();
    Outcome out = Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, Bytes{});
    EXPECT_EQ(sim::PortTrace(), c.trace);
}

INSTANTIATE_TEST_SUITE_P(
    Read, ShortHeader,
    ::testing::Values(ShortCase{"no_header_byte", {}, "in 0301 = 00\nin 0301 = 00\n"},
                      ShortCase{"three_header_bytes",
                                {0x01, 0x02, 0x03},
                                "in 0301 = 01\nin 0301 = 01\nin 0300 = 01\nin 0301 = 01\n"
                                "in 0300 = 02\nin 0301 = 01\nin 0300 = 03\nin 0301 = 00\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Requests, ABoardThatNeverClearsDataReadyGivesTheLargestReply) {
    Script().reply_pending = 1;
    Script().endless_reply = 1;
    Reply({0x00, 0x00, 0x05, 0x00});
    Start();
    Outcome out = Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
    EXPECT_EQ(out.status, kSuccess);
    ASSERT_EQ(out.answer.size(), 4096u);
    EXPECT_EQ(Bytes(out.answer.begin(), out.answer.begin() + 6),
              (Bytes{0x00, 0x00, 0x05, 0x00, 0x04, 0x05}));
    // The wait's read; 4 + 4092 byte reads, each after a status read; the
    // status read that ends the header, and the one that finds the payload
    // at its bound.
    EXPECT_EQ(sim::Count(sim::Ev::PortIn), 1 + 2 * 4096 + 2u);
    EXPECT_EQ(sim::P().sleeps, 0u);
}

// A read whose output cannot hold the largest reply is refused before the
// board is touched, so the reply that waits there is not lost: the next
// read with room for it gets it whole.
TEST_F(Requests, AShortReadLeavesTheReplyOnTheBoard) {
    Script().reply_pending = 1;
    Reply({0x00, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5});
    Start();
    Outcome out = Call(IOCTL_D418_READ_RESPONSE, {}, 9);
    EXPECT_EQ(out.status, kTooSmall);
    EXPECT_EQ(out.answer, Bytes{});
    EXPECT_EQ(sim::PortTrace(), "");
    out = Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
    EXPECT_EQ(out.status, kSuccess);
    EXPECT_EQ(out.answer, (Bytes{0, 0, 0, 0, 1, 2, 3, 4, 5}));
}

// ---- a wait ended early ----

TEST_F(Requests, AWaitEndedEarlyIsCancelledAtItsPause) {
    // The largest timeout: 2^31 - 1 pauses, ended by the third.
    EXPECT_EQ(Call(IOCTL_D418_TIMEOUT, {0xFF, 0xFF, 0xFF, 0xFF}, 0).status, kSuccess);
    drvtest::end_wait_after = 3;
    Outcome out = Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
    EXPECT_EQ(out.status, kCancelled);
    EXPECT_EQ(out.answer, Bytes{});
    EXPECT_EQ(sim::PortTrace(), "in 0301 = 04\nSleep 20\nin 0301 = 04\nSleep 20\n"
                                "in 0301 = 04\nSleep 20\n");
    // The next request works as before.
    drvtest::end_wait_after = 0;
    EXPECT_EQ(Call(IOCTL_D418_RESET, {}, 4).status, kSuccess);
}

}  // namespace
