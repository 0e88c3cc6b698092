// The real d418lib.dll on the NT family: every operation as the simulated
// driver sees it, and what the library makes of each answer.
#include <windows.h>

#include <cstring>
#include <vector>

#include "bound_library.h"
#include "simctl.h"
#include "wine_check.h"

namespace {

BoundLibrary lib;

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kRead = 0xD4182400, kSend = 0xD4182404, kTimeout = 0xD4182408,
                   kInit = 0xD418240C, kReset = 0xD4182414;
constexpr int32_t kDeviceNotReady = (int32_t)0xC00000A3;  // ERROR_NOT_READY, 21
constexpr int32_t kIoTimeout = (int32_t)0xC00000B5;       // ERROR_SEM_TIMEOUT, 121

D418SIM_LAST last;

// What the driver saw of the most recent request.
void Saw(uint32_t code, Bytes input, uint32_t output_length) {
    CHECK_EQ(SimCtlLast(&last), 0);
    CHECK_EQ(last.code, code);
    CHECK_EQ(last.input_length, (uint32_t)input.size());
    CHECK_EQ(Bytes(last.input, last.input + last.captured), input);
    CHECK_EQ(last.output_length, output_length);
}

}  // namespace

namespace {

void EachOperationIsOneRequest() {
    SimCtlReset();
    CHECK_EQ(lib.Init(0x300), 0);
    Saw(kInit, {0x00, 0x03, 0x00, 0x00}, 0);
    CHECK_EQ(lib.Init(0x12345678), 0);
    Saw(kInit, {0x78, 0x56, 0x34, 0x12}, 0);
    CHECK_EQ(lib.Init(0x300), 0);
    CHECK_EQ(lib.Timeout(0xA1B2C3D4), 0);
    Saw(kTimeout, {0xD4, 0xC3, 0xB2, 0xA1}, 0);
    CHECK_EQ(lib.Reset(), 0);
    Saw(kReset, {}, 4);
    const uint8_t payload[] = {0xAA, 0xBB};
    CHECK_EQ(lib.Send(0x0304, 0x0102, payload, 2), 0);
    Saw(kSend, {0x01, 0x00, 0x02, 0x01, 0x04, 0x03, 0xAA, 0xBB}, 4);
    uint8_t buffer[4092];
    int32_t count = -1;
    CHECK_EQ(lib.Read(buffer, &count), 0);
    Saw(kRead, {}, 4096);
    CHECK_EQ(count, 2);
    CHECK_EQ(Bytes(buffer, buffer + 2), (Bytes{0xAA, 0xBB}));
    CHECK_EQ(lib.Send(0, 0, nullptr, 0), 0);
    Saw(kSend, {0x01, 0x00, 0x00, 0x00, 0x00, 0x00}, 4);
    CHECK_EQ(last.requests, 8u);
}

void FailedRequestsGiveOneAndTheirError() {
    const uint32_t codes[] = {kInit, kTimeout, kReset, kSend, kRead};
    for (uint32_t code : codes) {
        SimCtlReset();
        CHECK_EQ(SimCtlScriptFail(code, kDeviceNotReady), 0);
        SetLastError(4321);
        uint8_t buffer[8] = {7, 7, 7, 7, 7, 7, 7, 7};
        int32_t count = 55;
        int32_t result = code == kInit      ? lib.Init(0x300)
                         : code == kTimeout ? lib.Timeout(100)
                         : code == kReset   ? lib.Reset()
                         : code == kSend    ? lib.Send(1, 2, buffer, 3)
                                            : lib.Read(buffer, &count);
        CHECK_EQ(result, 1);
        CHECK_EQ(GetLastError(), (DWORD)21);
        CHECK_EQ(count, 55);
        CHECK_EQ(buffer[0], 7);
    }
    SimCtlReset();
    int32_t count = 55;
    CHECK_EQ(lib.Read(nullptr, &count), 1);  // nothing pending: the model times out
    CHECK_EQ(GetLastError(), (DWORD)121);
    (void)kIoTimeout;
}

void AcknowledgementsBecomeResults() {
    struct {
        Bytes ack;
        int32_t result;
    } cases[] = {{{}, 0},           {{9, 9, 0, 0}, 0}, {{0, 0, 2, 0}, 2},
                 {{0, 0, 4, 0}, 4}, {{0, 0, 5, 0}, 5}, {{0, 0, 5, 1}, 261},
                 {{0, 0, 0, 0x80}, 32768}, {{0}, 2}, {{0, 0, 7}, 2}};
    for (const auto &c : cases) {
        SimCtlReset();
        SimCtlScriptAnswer(kReset, c.ack.data(), (uint32_t)c.ack.size());
        CHECK_EQ(lib.Reset(), c.result);
        SimCtlScriptAnswer(kSend, c.ack.data(), (uint32_t)c.ack.size());
        CHECK_EQ(lib.Send(0, 0, nullptr, 0), c.result);
    }
}

void RepliesReachTheCaller() {
    struct {
        size_t size;
        bool null_buffer;
        int32_t result;
        int32_t count;
    } cases[] = {{0, false, 2, 0},   {3, false, 2, 0},   {4, false, 261, 0},
                 {10, false, 261, 6}, {10, true, 261, 6}, {4096, false, 261, 4092}};
    for (const auto &c : cases) {
        SimCtlReset();
        Bytes reply(c.size);
        for (size_t i = 0; i < reply.size(); i++) reply[i] = (uint8_t)(i * 3 + 1);
        if (c.size >= 4) reply[2] = 0x05, reply[3] = 0x01;
        SimCtlScriptAnswer(kRead, reply.data(), (uint32_t)reply.size());
        Bytes buffer(4092 + 16, 0xCC);
        int32_t count = 77;
        CHECK_EQ(lib.Read(c.null_buffer ? nullptr : buffer.data(), &count), c.result);
        CHECK_EQ(count, c.count);
        Bytes expected(4092 + 16, 0xCC);
        if (!c.null_buffer && c.size > 4) std::copy(reply.begin() + 4, reply.end(), expected.begin());
        CHECK_EQ(buffer == expected, true);
    }
}

void RefusedLengthMakesNoRequest() {
    SimCtlReset();
    CHECK_EQ(lib.Send(1, 2, nullptr, -5), 1);
    CHECK_EQ(GetLastError(), (DWORD)87);
    CHECK_EQ(SimCtlLast(&last), 0);
    CHECK_EQ(last.requests, 0u);
}

}  // namespace

int main() {
    CHECK_TRUE((GetVersion() & 0x80000000u) == 0);  // the NT family
    CHECK_EQ(SimCtlReset(), 0);
    D418SIM_COUNTS before = {}, counts = {};
    CHECK_EQ(SimCtlCounts(&before), 0);
    CHECK_TRUE(lib.Load());
    if (!lib.Read) return check::Summary();
    // The load opened the device once.
    CHECK_EQ(SimCtlCounts(&counts), 0);
    CHECK_EQ(counts.creates, before.creates + 1);
    CHECK_EQ(counts.open, before.open + 1);

    EachOperationIsOneRequest();
    FailedRequestsGiveOneAndTheirError();
    AcknowledgementsBecomeResults();
    RepliesReachTheCaller();
    RefusedLengthMakesNoRequest();

    // The unload closed it again.
    CHECK_EQ(FreeLibrary(lib.module) != 0, true);
    CHECK_EQ(SimCtlWaitOpen(before.open, 5000), 0);
    CHECK_EQ(SimCtlCounts(&counts), 0);
    CHECK_EQ(counts.closes, before.closes + 1);
    SimCtlReset();
    return check::Summary();
}
