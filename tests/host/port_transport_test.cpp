// The port path against the simulated board, compared access by access.
#include "fixture.h"

namespace {

class PortPath : public LibTest {};

// ---- reset handshake ----

struct ResetCase {
    const char *name;
    long ready_on_read;  // 0: never
    uint8_t not_ready;
    int32_t result;
    const char *trace;
};

class ResetTable : public PortPath, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetTable, CountsStatusReads) {
    const ResetCase &c = GetParam();
    sim::BoardScript script;
    script.ready_on_read = c.ready_on_read;
    script.not_ready_status = c.not_ready;
    UseBoard(script);
    EXPECT_EQ(D418Reset(), c.result);
    EXPECT_EQ(sim::PortTrace(), c.trace);
    EXPECT_EQ(sim::Count(sim::Ev::GetVersion), 1u);
    EXPECT_EQ(sim::Count(sim::Ev::SetLastError), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Reset, ResetTable,
    ::testing::Values(
        ResetCase{"ready_on_first_read", 1, 0x00, 0,
                  "out 0303, 00\nin 0301 = EE\n"},
        ResetCase{"ready_on_read_99999", 99999, 0x00, 0,
                  "out 0303, 00\nin 0301 = 00\n  x99998\nin 0301 = EE\n"},
        ResetCase{"ready_on_read_100000_is_too_late", 100000, 0x00, 4,
                  "out 0303, 00\nin 0301 = 00\n  x99999\nin 0301 = EE\n"},
        ResetCase{"never_ready", 0, 0x00, 4, "out 0303, 00\nin 0301 = 00\n  x100000\n"},
        ResetCase{"EF_is_not_the_pattern", 0, 0xEF, 4,
                  "out 0303, 00\nin 0301 = EF\n  x100000\n"},
        ResetCase{"FE_is_not_the_pattern", 0, 0xFE, 4,
                  "out 0303, 00\nin 0301 = FE\n  x100000\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PortPath, NoBoardAtTheBaseIsNotFound) {
    sim::BoardScript script;
    script.present = false;
    UseBoard(script);
    EXPECT_EQ(D418Init(0x300), 0);  // the address is not tried
    EXPECT_EQ(sim::Count(sim::Ev::PortIn) + sim::Count(sim::Ev::PortOut), 0u);
    EXPECT_EQ(D418Reset(), 4);
    EXPECT_EQ(sim::PortTrace(), "out 0303, 00\nin 0301 = FF\n  x100000\n");
}

// ---- sending ----

TEST_F(PortPath, SendWritesTheFrameThenStartsTransmission) {
    sim::Board &board = UseBoard();
    const uint8_t payload[] = {0xAA, 0xBB};
    EXPECT_EQ(D418SendCommand(0x0304, 0x0102, payload, 2), 0);
    EXPECT_EQ(sim::PortTrace(),
              "out 0303, 00\nin 0301 = EE\n"
              "out 0300, 01\nout 0300, 00\nout 0300, 02\nout 0300, 01\n"
              "out 0300, 04\nout 0300, 03\nout 0300, AA\nout 0300, BB\n"
              "out 0301, 00\nin 0301 = 00\n");
    ASSERT_EQ(board.frames.size(), 1u);
    EXPECT_EQ(board.frames[0], (Bytes{1, 0, 2, 1, 4, 3, 0xAA, 0xBB}));
    EXPECT_EQ(sim::Count(sim::Ev::GetVersion), 1u);
    EXPECT_EQ(sim::Count(sim::Ev::SetLastError), 0u);
}

TEST_F(PortPath, EmptyPayloadMakesSixDataWrites) {
    UseBoard();
    EXPECT_EQ(D418SendCommand(0, 0, nullptr, 0), 0);
    EXPECT_EQ(sim::PortTrace(),
              "out 0303, 00\nin 0301 = EE\n"
              "out 0300, 01\nout 0300, 00\nout 0300, 00\nout 0300, 00\n"
              "out 0300, 00\nout 0300, 00\nout 0301, 00\nin 0301 = 00\n");
}

TEST_F(PortPath, SendWithoutBoardWritesNothingAfterTheReset) {
    sim::BoardScript script;
    script.ready_on_read = 0;
    UseBoard(script);
    const uint8_t payload[] = {1};
    EXPECT_EQ(D418SendCommand(1, 2, payload, 1), 4);
    EXPECT_EQ(sim::PortTrace(), "out 0303, 00\nin 0301 = 00\n  x100000\n");
    EXPECT_EQ(sim::P().live_blocks, 0);  // the frame is released on 4 too
}

struct TransmitCase {
    const char *name;
    long busy_reads;
    int32_t result;
    const char *tail;  // the accesses after the start of transmission
};

class TransmitTable : public PortPath, public ::testing::WithParamInterface<TransmitCase> {};

TEST_P(TransmitTable, CountsBusyReads) {
    const TransmitCase &c = GetParam();
    sim::BoardScript script;
    script.busy_reads = c.busy_reads;
    UseBoard(script);
    EXPECT_EQ(D418SendCommand(0, 0, nullptr, 0), c.result);
    std::string trace = sim::PortTrace();
    const std::string start = "out 0301, 00\n";
    ASSERT_NE(trace.find(start), std::string::npos);
    EXPECT_EQ(trace.substr(trace.find(start) + start.size()), c.tail);
    EXPECT_EQ(sim::P().live_blocks, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Transmit, TransmitTable,
    ::testing::Values(
        TransmitCase{"clear_at_once", 0, 0, "in 0301 = 00\n"},
        TransmitCase{"clear_on_read_100000", 99999, 0, "in 0301 = 24\n  x99999\nin 0301 = 00\n"},
        // Busy on all of the first 100000 reads: 3, though read 100001 shows it clear.
        TransmitCase{"busy_through_read_100000", 100000, 3,
                     "in 0301 = 24\n  x100000\nin 0301 = 00\n"},
        TransmitCase{"busy_for_ever", 1000000, 3, "in 0301 = 24\n  x100001\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- the reply wait ----

struct WaitCase {
    const char *name;
    uint32_t timeout;
    long wait_reads;  // status reads showing ReplyWait before the reply
    int32_t result;
    uint64_t pauses;
};

class WaitTable : public PortPath, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(WaitTable, CountsPausesOfTwentyMilliseconds) {
    const WaitCase &c = GetParam();
    sim::BoardScript script;
    script.reply_pending = true;
    script.wait_reads = c.wait_reads;
    script.reply = {0x00, 0x00, 0x07, 0x00, 0x42};
    UseBoard(script);
    EXPECT_EQ(D418Timeout(c.timeout), 0);
    int32_t count = 77;
    uint8_t buffer[8] = {};
    EXPECT_EQ(D418ReadResponse(buffer, &count), c.result);
    EXPECT_EQ(sim::P().sleeps, c.pauses);
    EXPECT_EQ(sim::P().clock_ms, c.pauses * 20);
    if (c.result == 3) {
        EXPECT_EQ(count, 0);
        EXPECT_EQ(sim::Count(sim::Ev::PortIn), c.pauses + 1);  // status reads only
        EXPECT_EQ(buffer[0], 0);
    } else {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(buffer[0], 0x42);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Wait, WaitTable,
    ::testing::Values(
        WaitCase{"timeout_0_with_reply_waiting", 0, 0, 3, 0},
        WaitCase{"timeout_1_with_reply_waiting", 1, 0, 3, 0},
        WaitCase{"timeout_0_without_reply", 0, 5, 3, 0},
        WaitCase{"timeout_2_reply_on_first_read", 2, 0, 7, 0},
        WaitCase{"timeout_2_reply_on_second_read", 2, 1, 3, 1},
        WaitCase{"timeout_3_behaves_as_2", 3, 1, 3, 1},
        WaitCase{"timeout_200_reply_on_read_100", 200, 99, 7, 99},
        WaitCase{"timeout_200_reply_on_read_101", 200, 100, 3, 100},
        WaitCase{"timeout_201_behaves_as_200", 201, 100, 3, 100},
        WaitCase{"largest_timeout_still_waits", 0xFFFFFFFFu, 5000, 7, 5000}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PortPath, DefaultTimeoutGivesUpAfterTwoSeconds) {
    sim::BoardScript script;
    script.reply_pending = false;  // no reply ever
    UseBoard(script);
    int32_t count = 5;
    EXPECT_EQ(D418ReadResponse(nullptr, &count), 3);
    EXPECT_EQ(sim::P().clock_ms, 2000u);
    EXPECT_EQ(sim::PortTrace(), "in 0301 = 04\nSleep 20\n  x100\nin 0301 = 04\n");
}

// ---- header and payload ----

struct ReplyCase {
    const char *name;
    Bytes reply;
    bool null_buffer;
    int32_t result;
    int32_t count;
    Bytes stored;  // the first bytes of the buffer afterwards
};

class ReplyTable : public PortPath, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyTable, ReadsHeaderThenPayload) {
    const ReplyCase &c = GetParam();
    sim::BoardScript script;
    script.reply_pending = true;
    script.reply = c.reply;
    UseBoard(script);
    Bytes buffer(16, 0xCC);
    int32_t count = 77;
    EXPECT_EQ(D418ReadResponse(c.null_buffer ? nullptr : buffer.data(), &count), c.result);
    EXPECT_EQ(count, c.count);
    Bytes expected = c.stored;
    expected.resize(16, 0xCC);
    EXPECT_EQ(buffer, expected);
    // Every byte the board had was taken: one data read per reply byte.
    EXPECT_EQ(sim::Count(sim::Ev::PortOut), 0u);
    size_t data_reads = 0;
    for (const sim::Event &e : sim::P().events)
        data_reads += e.kind == sim::Ev::PortIn && e.a == 0x300;
    EXPECT_EQ(data_reads, c.reply.size());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyTable,
    ::testing::Values(
        ReplyCase{"nothing_ready", {}, false, 2, 0, {}},
        ReplyCase{"three_header_bytes", {0, 0, 5}, false, 2, 0, {}},
        ReplyCase{"header_only", {0, 0, 5, 1}, false, 261, 0, {}},
        ReplyCase{"status_three_reads_as_timeout_code", {9, 9, 3, 0, 0xAB}, false, 3, 1, {0xAB}},
        ReplyCase{"status_8000_is_positive", {0, 0, 0, 0x80}, false, 32768, 0, {}},
        ReplyCase{"status_ffff", {0, 0, 0xFF, 0xFF, 1, 2}, false, 65535, 2, {1, 2}},
        ReplyCase{"payload_with_status_zero", {0, 0, 0, 0, 1, 2, 3}, false, 0, 3, {1, 2, 3}},
        ReplyCase{"null_buffer_counts_all", {0, 0, 0, 0, 1, 2, 3, 4, 5}, true, 0, 5, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PortPath, HeaderThenPayloadAccessOrder) {
    sim::BoardScript script;
    script.reply_pending = true;
    script.reply = {0x11, 0x22, 0x02, 0x01, 0x99};
    UseBoard(script);
    uint8_t buffer[4] = {};
    int32_t count = 0;
    EXPECT_EQ(D418ReadResponse(buffer, &count), 0x102);
    // A status read before every data read, and one after the fourth header
    // byte before the payload's first status read.
    EXPECT_EQ(sim::PortTrace(),
              "in 0301 = 01\n"
              "in 0301 = 01\nin 0300 = 11\nin 0301 = 01\nin 0300 = 22\n"
              "in 0301 = 01\nin 0300 = 02\nin 0301 = 01\nin 0300 = 01\n"
              "in 0301 = 01\n"
              "in 0301 = 01\nin 0300 = 99\nin 0301 = 00\n");
}

// The largest payload a reply may carry is 4092 bytes. A reply that fits
// is read to its end, the status read that shows DataReady clear included;
// a board that still shows DataReady after 4092 bytes is left there, with no
// further DataPort read.
struct LongReplyCase {
    const char *name;
    size_t payload;  // bytes of 0x5A after the header
    bool endless;    // DataReady never clears
    int32_t count;
    const char *payload_trace;  // after the wait and the header
};

class LongReplyTable : public PortPath, public ::testing::WithParamInterface<LongReplyCase> {};

TEST_P(LongReplyTable, ReadsUpToTheLargestPayload) {
    const LongReplyCase &c = GetParam();
    sim::BoardScript script;
    script.reply_pending = true;
    script.reply = {0x00, 0x00, 0x34, 0x12};
    script.reply.insert(script.reply.end(), c.payload, 0x5A);
    script.endless_reply = c.endless;
    UseBoard(script);
    Bytes buffer(4092 + 64, 0xCC);
    int32_t count = -1;
    EXPECT_EQ(D418ReadResponse(buffer.data(), &count), 0x1234);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + c.count), Bytes(c.count, 0x5A));
    EXPECT_EQ(Bytes(buffer.begin() + c.count, buffer.end()), Bytes(4092 + 64 - c.count, 0xCC));
    EXPECT_EQ(sim::PortTrace(),
              std::string("in 0301 = 01\n"
                          "in 0301 = 01\nin 0300 = 00\nin 0301 = 01\nin 0300 = 00\n"
                          "in 0301 = 01\nin 0300 = 34\nin 0301 = 01\nin 0300 = 12\n"
                          "in 0301 = 01\n") +
                  c.payload_trace);
}

INSTANTIATE_TEST_SUITE_P(
    Payload, LongReplyTable,
    ::testing::Values(
        LongReplyCase{"payload_4091", 4091, false, 4091,
                      "in 0301 = 01\nin 0300 = 5A\n  x4091\nin 0301 = 00\n"},
        LongReplyCase{"payload_4092_ends_as_usual", 4092, false, 4092,
                      "in 0301 = 01\nin 0300 = 5A\n  x4092\nin 0301 = 00\n"},
        LongReplyCase{"payload_4093_is_cut_after_4092", 4093, false, 4092,
                      "in 0301 = 01\nin 0300 = 5A\n  x4092\nin 0301 = 01\n"},
        LongReplyCase{"data_ready_never_clears", 4092, true, 4092,
                      "in 0301 = 01\nin 0300 = 5A\n  x4092\nin 0301 = 01\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- base address ----

TEST_F(PortPath, InitKeepsTheLowSixteenBits) {
    sim::BoardScript script;
    script.base = 0x2345;
    UseBoard(script);
    EXPECT_EQ(D418Init(0x00012345), 0);
    EXPECT_EQ(BoardBase, 0x2345);
    EXPECT_EQ(D418Reset(), 0);
    EXPECT_EQ(sim::PortTrace(), "out 2348, 00\nin 2346 = EE\n");
}

TEST_F(PortPath, RegisterNumbersWrapAtSixteenBits) {
    sim::BoardScript script;
    script.base = 0xFFFE;
    UseBoard(script);
    EXPECT_EQ(D418Init(0xFFFE), 0);
    EXPECT_EQ(D418SendCommand(0, 0, nullptr, 0), 0);
    EXPECT_EQ(sim::PortTrace(),
              "out 0001, 00\nin FFFF = EE\n"
              "out FFFE, 01\nout FFFE, 00\nout FFFE, 00\nout FFFE, 00\n"
              "out FFFE, 00\nout FFFE, 00\nout FFFF, 00\nin FFFF = 00\n");
}

TEST_F(PortPath, InitAndTimeoutTouchNoPortAndAlwaysSucceed) {
    UseBoard();
    EXPECT_EQ(D418Init(0xFFFFFFFF), 0);
    EXPECT_EQ(D418Timeout(0), 0);
    EXPECT_EQ(BoardBase, 0xFFFF);
    EXPECT_EQ(ReplyTimeout, 0u);
    EXPECT_EQ(sim::PortTrace(), "");
    EXPECT_EQ(sim::Count(sim::Ev::GetVersion), 2u);
    EXPECT_EQ(sim::Count(sim::Ev::SetLastError), 0u);
    EXPECT_EQ(sim::P().last_error, 0xDEADBEEFu);
}

TEST_F(PortPath, ResetKeepsBaseAndTimeout) {
    sim::BoardScript script;
    script.base = 0x280;
    UseBoard(script);
    D418Init(0x280);
    D418Timeout(50);
    EXPECT_EQ(D418Reset(), 0);
    EXPECT_EQ(BoardBase, 0x280);
    EXPECT_EQ(ReplyTimeout, 50u);
}

TEST_F(PortPath, ExchangeEchoesThroughTheBoard) {
    sim::BoardScript script;
    script.echo_payload = true;
    script.busy_reads = 3;
    script.wait_reads = 4;
    UseBoard(script);
    const uint8_t payload[] = {10, 20, 30};
    EXPECT_EQ(D418SendCommand(1, 2, payload, 3), 0);
    uint8_t buffer[8] = {};
    int32_t count = 0;
    EXPECT_EQ(D418ReadResponse(buffer, &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{10, 20, 30}));
    // The status read that ends the transmission is the first of the four
    // that show ReplyWait, so the reply wait itself pauses three times.
    EXPECT_EQ(sim::P().sleeps, 3u);
}

}  // namespace
