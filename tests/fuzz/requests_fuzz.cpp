// Fuzz target: d418.sys's request handling (driver/requests.c) taking any
// sequence of requests, with any control codes, input and output lengths
// and bases, against a board that answers at random. It checks three
// things on every request:
//   - no port outside the configured base's four is ever touched;
//   - no byte of the request's buffer past the output length is written;
//   - the answered count never exceeds the output length (and is 0 when
//     the request fails).
//
// Input layout (missing bytes read as 0):
//   bytes 0-1  the configured base: 0x100 + (value % 0x2FD), 0x100-0x3FC
//   byte  2    size of the request list, in bytes
//   then the request list, then the board's bytes (the rest), which the
//   board hands out one per port read; once they are used up it answers
//   from a generator seeded by the input.
//
// Request list: a selector byte and its arguments:
//   sel % 8 = 0  INIT; base kind byte: 0 the configured base, 1 the
//                configured base with 16 random high bits, otherwise 4
//                bytes of base
//            1   TIMEOUT: 4 bytes
//            2   RESET   3 SEND   4 READ_RESPONSE
//            5   any code: 4 bytes
//            6   a known code with one bit flipped: code index, bit
//            7   a new open (what the create request resets)
//   sel bits 3-7 choose the lengths: bit 3 set takes an input length
//   (2 bytes, up to 9000), bit 4 an output length (2 bytes, up to 9000);
//   otherwise the request's usual ones (4 for INIT and TIMEOUT input, 6 to
//   38 for SEND by bit 5-7, 4 or 4096 output). The buffer's bytes beyond
//   the request's own input are seeded from the selector.
//
// A board that keeps ReplyWait set under a huge timeout would hold a read
// for up to 2^31 pauses, so once an input has made kReadBudget port reads
// the board clears ReplyWait in every status byte and no further request
// starts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_reader.h"
#include "platform.h"
#include "port_transport.h"
#include "requests.h"

namespace {

#define CHECK(cond, ...)                                                 \
    do {                                                                 \
        if (!(cond)) {                                                   \
            fprintf(stderr, "requests_fuzz: check failed: %s: ", #cond); \
            fprintf(stderr, __VA_ARGS__);                                \
            fputc('\n', stderr);                                         \
            abort();                                                     \
        }                                                                \
    } while (0)

constexpr uint64_t kReadBudget = 400000;
constexpr size_t kMaxRequests = 32;
constexpr uint32_t kMaxLength = 9000;
constexpr uint32_t kGuard = 64;
constexpr uint8_t kGuardByte = 0x5A;

const uint32_t kCodes[] = {IOCTL_D418_READ_RESPONSE, IOCTL_D418_SEND_COMMAND,
                           IOCTL_D418_TIMEOUT, IOCTL_D418_INIT, IOCTL_D418_RESET};

struct Board {
    uint32_t base = 0x300;
    Reader bytes;
    uint64_t state = 1;
    uint64_t reads = 0;

    uint8_t Next() {
        if (bytes.left) return bytes.Byte();
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return (uint8_t)(state >> 24);
    }
    void CheckPort(uint16_t port, const char *what) {
        CHECK(port >= base && port <= base + 3, "%s port %04X, configured base %04X", what,
              port, base);
    }
};

Board board;

}  // namespace

uint8_t PlatformPortIn(uint16_t port) {
    board.CheckPort(port, "read of");
    board.reads++;
    uint8_t v = board.Next();
    if (board.reads > kReadBudget && port == board.base + PORT_STATUS)
        v &= (uint8_t)~STATUS_REPLY_WAIT;
    return v;
}

void PlatformPortOut(uint16_t port, uint8_t value) {
    (void)value;
    board.CheckPort(port, "write to");
}

void PlatformSleep(uint32_t milliseconds) { (void)milliseconds; }

int PlatformWaitPause(uint32_t milliseconds) {
    (void)milliseconds;
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Reader in{data, size};
    uint32_t configured = 0x100 + in.Le(2) % 0x2FDu;
    size_t list_size = in.Byte();
    if (list_size > in.left) list_size = in.left;
    Reader list{in.p, list_size};
    board = Board();
    board.base = configured;
    board.bytes = Reader{in.p + list_size, in.left - list_size};
    board.state = 0x9E3779B97F4A7C15ull ^ size;
    for (size_t i = 0; i < size && i < 64; i++) board.state = board.state * 31 + data[i];
    if (board.state == 0) board.state = 1;

    D418RequestsConfigure(configured);
    std::vector<uint8_t> buffer, original;
    for (size_t n = 0; n < kMaxRequests && list.left && board.reads <= kReadBudget; n++) {
        uint8_t sel = list.Byte();
        uint32_t code = 0, input_length = 0, output_length = 4;
        std::vector<uint8_t> input;
        switch (sel % 8) {
        case 0: {
            code = IOCTL_D418_INIT;
            uint8_t kind = list.Byte();
            uint32_t base = kind == 0   ? configured
                            : kind == 1 ? configured | (list.Le(2) << 16)
                                        : list.Le(4);
            input = {(uint8_t)base, (uint8_t)(base >> 8), (uint8_t)(base >> 16),
                     (uint8_t)(base >> 24)};
            output_length = 0;
            break;
        }
        case 1: {
            code = IOCTL_D418_TIMEOUT;
            uint32_t t = list.Le(4);
            input = {(uint8_t)t, (uint8_t)(t >> 8), (uint8_t)(t >> 16), (uint8_t)(t >> 24)};
            output_length = 0;
            break;
        }
        case 2: code = IOCTL_D418_RESET; break;
        case 3:
            code = IOCTL_D418_SEND_COMMAND;
            input.resize(6 + 4 * (sel >> 5));
            for (size_t i = 0; i < input.size(); i++) input[i] = (uint8_t)(sel + 37 * i);
            break;
        case 4:
            code = IOCTL_D418_READ_RESPONSE;
            output_length = (sel & 0x20) ? 4096 : 4;
            break;
        case 5: code = list.Le(4); break;
        case 6: {
            uint8_t which = list.Byte(), bit = list.Byte();
            code = kCodes[which % 5] ^ (1u << (bit % 32));
            break;
        }
        case 7:
            D418RequestsReset();
            continue;
        }
        input_length = (uint32_t)input.size();
        if (sel & 0x08) input_length = list.Le(2) % (kMaxLength + 1);
        if (sel & 0x10) output_length = list.Le(2) % (kMaxLength + 1);

        // The I/O manager's one buffer: the larger length, holding the
        // input; then a guard that must stay as it is.
        uint32_t length = input_length > output_length ? input_length : output_length;
        buffer.assign(length + kGuard, kGuardByte);
        for (uint32_t i = 0; i < input_length; i++)
            buffer[i] = i < input.size() ? input[i] : (uint8_t)(sel * 7 + i);
        original = buffer;
        uint8_t *p = length ? buffer.data() : nullptr;
        uint32_t answered = 0xFFFFFFFFu;
        int32_t status = D418HandleRequest(code, p, input_length, output_length, &answered);

        CHECK(answered <= output_length, "code %08X answered %u, output length %u", code,
              answered, output_length);
        CHECK(status == D418_STATUS_SUCCESS || answered == 0,
              "code %08X failed with %08X and answered %u", code, (unsigned)status, answered);
        for (size_t i = output_length; i < buffer.size(); i++)
            CHECK(buffer[i] == original[i],
                  "code %08X wrote byte %zu past the output length %u", code, i, output_length);
    }
    return 0;
}
