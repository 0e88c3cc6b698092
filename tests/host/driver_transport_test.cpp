// The driver path against the simulated device request: exact codes,
// buffers and lengths, and how each answer becomes the result.
#include "fixture.h"

#include "driver_transport.h"

namespace {

class DriverPath : public LibTest {
protected:
    void SetUp() override {
        LibTest::SetUp();
        sim::P().version = sim::kWindowsNt;
        DeviceHandle = reinterpret_cast<PlatformHandle>(0x1234);
        sim::P().last_error = 0xBAD;
    }
    void Answer(Bytes output) { sim::P().answers.push_back({true, 0, std::move(output), -1}); }
    void Fail(uint32_t error) { sim::P().answers.push_back({false, error, {}, -1}); }
    const sim::IoctlCall &Only() {
        EXPECT_EQ(sim::P().ioctls.size(), 1u);
        return sim::P().ioctls.at(0);
    }
};

struct RequestCase {
    const char *name;
    uint32_t code;
    bool input_null;
    Bytes input;
    bool output_null;
    uint32_t output_length;
};

int32_t RunOperation(const char *name) {
    std::string n = name;
    uint8_t payload[] = {0xAA, 0xBB};
    int32_t count = 0;
    uint8_t buffer[4096];
    if (n == "init") return D418Init(0x300);
    if (n == "init_32_bits") return D418Init(0x12345678);
    if (n == "timeout") return D418Timeout(0xA1B2C3D4);
    if (n == "reset") return D418Reset();
    if (n == "send") return D418SendCommand(0x0304, 0x0102, payload, 2);
    if (n == "send_empty") return D418SendCommand(0x0304, 0x0102, nullptr, 0);
    return D418ReadResponse(buffer, &count);
}

class RequestTable : public DriverPath, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(RequestTable, OneRequestAfterClearingTheLastError) {
    const RequestCase &c = GetParam();
    if (c.code == IOCTL_D418_READ_RESPONSE) Answer({0, 0, 0, 0});
    EXPECT_EQ(RunOperation(c.name), 0);
    const sim::IoctlCall &call = Only();
    EXPECT_EQ(call.handle, reinterpret_cast<PlatformHandle>(0x1234));
    EXPECT_EQ(call.code, c.code);
    EXPECT_EQ(call.input_null, c.input_null);
    EXPECT_EQ(call.input, c.input);
    EXPECT_EQ(call.input_length, c.input.size());
    EXPECT_EQ(call.output_null, c.output_null);
    EXPECT_EQ(call.output_length, c.output_length);
    EXPECT_EQ(call.last_error_at_call, 0u);
    // SetLastError(0) comes right before the request, after the family test.
    std::string trace = sim::Trace({sim::Ev::GetVersion, sim::Ev::SetLastError, sim::Ev::Ioctl});
    char expected[96];
    snprintf(expected, sizeof expected, "GetVersion\nSetLastError 0\nDeviceIoControl %08X\n", c.code);
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(BoardBase, 0x300);
    EXPECT_EQ(ReplyTimeout, 200u);
    EXPECT_EQ(sim::PortTrace(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestTable,
    ::testing::Values(
        RequestCase{"init", 0xD418240C, false, {0x00, 0x03, 0x00, 0x00}, true, 0},
        RequestCase{"init_32_bits", 0xD418240C, false, {0x78, 0x56, 0x34, 0x12}, true, 0},
        RequestCase{"timeout", 0xD4182408, false, {0xD4, 0xC3, 0xB2, 0xA1}, true, 0},
        RequestCase{"reset", 0xD4182414, true, {}, false, 4},
        RequestCase{"send", 0xD4182404, false, {1, 0, 2, 1, 4, 3, 0xAA, 0xBB}, false, 4},
        RequestCase{"send_empty", 0xD4182404, false, {1, 0, 2, 1, 4, 3}, false, 4},
        RequestCase{"read", 0xD4182400, true, {}, false, 4096}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DriverPath, FailedRequestGivesOneAndLeavesTheRequestsError) {
    for (const char *op : {"init", "timeout", "reset", "send", "read"}) {
        sim::P().ioctls.clear();
        Fail(31);
        EXPECT_EQ(RunOperation(op), 1) << op;
        EXPECT_EQ(sim::P().last_error, 31u) << op;
        EXPECT_EQ(sim::P().ioctls.size(), 1u) << op;
    }
    EXPECT_EQ(sim::P().live_blocks, 0);
}

struct AckCase {
    const char *name;
    Bytes ack;
    int32_t result;
};

class AckTable : public DriverPath, public ::testing::WithParamInterface<AckCase> {};

TEST_P(AckTable, ResetAndSendDecodeTheAcknowledgement) {
    const AckCase &c = GetParam();
    Answer(c.ack);
    EXPECT_EQ(D418Reset(), c.result);
    Answer(c.ack);
    const uint8_t payload[] = {1};
    EXPECT_EQ(D418SendCommand(0, 0, payload, 1), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Acks, AckTable,
    ::testing::Values(AckCase{"empty", {}, 0},
                      AckCase{"status_zero", {9, 9, 0, 0}, 0},
                      AckCase{"status_two", {0, 0, 2, 0}, 2},
                      AckCase{"status_four", {0, 0, 4, 0}, 4},
                      AckCase{"status_five", {0, 0, 5, 0}, 5},
                      AckCase{"status_261", {0, 0, 5, 1}, 261},
                      AckCase{"status_ffff", {0, 0, 0xFF, 0xFF}, 65535},
                      AckCase{"one_byte_is_short", {0}, 2},
                      AckCase{"three_bytes_are_short", {0, 0, 7}, 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DriverPath, SendReleasesTheFrameRightAfterTheRequest) {
    Fail(21);
    const uint8_t payload[] = {5, 6};
    EXPECT_EQ(D418SendCommand(0x10, 0x20, payload, 2), 1);
    EXPECT_EQ(sim::Trace({sim::Ev::Alloc, sim::Ev::GetVersion, sim::Ev::SetLastError,
                          sim::Ev::Ioctl, sim::Ev::Free}),
              "Alloc 8\nGetVersion\nSetLastError 0\nDeviceIoControl D4182404\nFree\n");
    EXPECT_EQ(sim::P().last_freed, (Bytes{1, 0, 0x20, 0, 0x10, 0, 5, 6}));
    EXPECT_EQ(sim::P().live_blocks, 0);
    EXPECT_EQ(sim::P().last_error, 21u);  // the release leaves the error alone
}

struct ReadCase {
    const char *name;
    size_t reply_size;
    bool null_buffer;
    int32_t result;
    int32_t count;
};

class ReadTable : public DriverPath, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadTable, HandsThePayloadToTheCaller) {
    const ReadCase &c = GetParam();
    Bytes reply(c.reply_size);
    for (size_t i = 0; i < reply.size(); i++) reply[i] = (uint8_t)(i * 7 + 1);
    if (reply.size() >= 4) {
        reply[2] = 0x05;
        reply[3] = 0x01;
    }
    Answer(reply);
    Bytes buffer(4092 + 16, 0xCC);
    int32_t count = 77;
    EXPECT_EQ(D418ReadResponse(c.null_buffer ? nullptr : buffer.data(), &count), c.result);
    EXPECT_EQ(count, c.count);
    Bytes expected(4092 + 16, 0xCC);
    if (!c.null_buffer && c.reply_size >= 4)
        std::copy(reply.begin() + 4, reply.end(), expected.begin());
    EXPECT_EQ(buffer, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ReadTable,
    ::testing::Values(ReadCase{"empty", 0, false, 2, 0},
                      ReadCase{"three_bytes", 3, false, 2, 0},
                      ReadCase{"header_only", 4, false, 261, 0},
                      ReadCase{"ten_bytes", 10, false, 261, 6},
                      ReadCase{"ten_bytes_null_buffer", 10, true, 261, 6},
                      ReadCase{"largest_reply", 4096, false, 261, 4092}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DriverPath, FailedReadLeavesCountAndBufferAlone) {
    Fail(1167);
    uint8_t buffer[4] = {9, 9, 9, 9};
    int32_t count = 77;
    EXPECT_EQ(D418ReadResponse(buffer, &count), 1);
    EXPECT_EQ(count, 77);
    EXPECT_EQ(Bytes(buffer, buffer + 4), Bytes(4, 9));
}

TEST_F(DriverPath, CountClaimedBeyondTheReplyAreaIsCapped) {
    sim::P().answers.push_back({true, 0, Bytes{0, 0, 1, 0}, 5000});
    Bytes buffer(4092 + 16, 0xCC);
    int32_t count = 0;
    EXPECT_EQ(D418ReadResponse(buffer.data(), &count), 1);
    EXPECT_EQ(count, 4092);
    EXPECT_EQ(Bytes(buffer.begin() + 4092, buffer.end()), Bytes(16, 0xCC));
}

TEST_F(DriverPath, InitAndTimeoutIgnoreTheReturnedCount) {
    sim::P().answers.push_back({true, 0, {}, 9});
    sim::P().answers.push_back({true, 0, {}, 3});
    EXPECT_EQ(D418Init(0x300), 0);
    EXPECT_EQ(D418Timeout(7), 0);
}

TEST_F(DriverPath, NothingIsAllocatedButTheFrame) {
    Answer({0, 0, 0, 0});
    D418Reset();
    Answer({0, 0, 0, 0, 1});
    int32_t count;
    uint8_t b[4];
    D418ReadResponse(b, &count);
    D418Init(1);
    D418Timeout(1);
    EXPECT_EQ(sim::Count(sim::Ev::Alloc), 0u);
    D418SendCommand(0, 0, nullptr, 0);
    EXPECT_EQ(sim::Count(sim::Ev::Alloc), 1u);
}

}  // namespace
