// Fuzz target: D418Reset, D418SendCommand and D418ReadResponse on the port
// path (Windows 95/98/Me) against a board whose status and data bytes come
// from the input, with every operation checked against the board's side of
// the conversation.
//
// Input layout (every part may be short or missing):
//   byte 0   status fill: the status byte a read sees once the status runs
//            are used up (a reset then sees 0xEE at once, a transmission
//            ends at once)
//   byte 1   data fill: the data byte once the data bytes are used up
//   byte 2   size of the operation list, in bytes
//   byte 3   size of the status runs, in bytes
//   then the operation list, the status runs, and the data bytes (the rest).
//
// Status runs: two bytes each, value and count code. Count code c < 0xE0
// means c + 1 reads, 0xE0..0xEF mean 256 << (c - 0xE0) reads, 0xF0..0xFF
// pick a count around the library's limits from kEdgeCounts, so that "0x00
// for 99998 reads, then 0xEE" is four bytes. Data bytes are served one per
// data-port read.
//
// Operation list: an opcode byte and its arguments (missing bytes read as 0):
//   op & 7 = 0  D418Init(base: 4 bytes, little endian)
//            1  D418Timeout: code byte; bit 7 set: 4 raw bytes follow,
//               otherwise kTimeouts[code & 15]
//   2, 7        D418Reset
//   3, 6        D418SendCommand: flags, w2 (2), w1 (2), length code, seed.
//               flags bit 0: null payload for length 0; bit 1: the frame's
//               memory cannot be had; bits 2 and 3: bits above the low 16
//               set in w2 and w1. Length code < 0xF0 is the length,
//               otherwise kLengths[code - 0xF0]. Payload byte i is
//               seed + 37 * i.
//   4, 5        D418ReadResponse: flags; bit 0: null buffer.
//
// A board that keeps ReplyWait set under a huge timeout would hold a read
// for up to 2^31 polls, so once an input has made kReadBudget port reads
// the board clears ReplyWait in every status byte it shows, and no further
// operation starts. Every wait then ends within the library's own bounds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "d418lib.h"
#include "fuzz_reader.h"
#include "frame.h"
#include "library_state.h"
#include "port_transport.h"
#include "sim_platform.h"

namespace {

#define CHECK(cond, ...)                                             \
    do {                                                             \
        if (!(cond)) {                                               \
            fprintf(stderr, "port_fuzz: check failed: %s: ", #cond); \
            fprintf(stderr, __VA_ARGS__);                            \
            fputc('\n', stderr);                                     \
            abort();                                                 \
        }                                                            \
    } while (0)

constexpr uint64_t kEdgeCounts[16] = {99997, 99998, 99999, 100000, 100001, 100002,
                                      4090,  4091,  4092,  4093,   4094,   4096,
                                      8184,  8185,  200000, 1u << 20};
constexpr uint32_t kTimeouts[16] = {0,   1,   2,   3,   4,     5,      6,           10,
                                    199, 200, 201, 20000, 200001, 0x7FFFFFFFu, 0x80000000u,
                                    0xFFFFFFFFu};
constexpr int32_t kLengths[16] = {4086, 4087, 4092,      4093,          5000,      8192, 256, 1000,
                                  -1,   -6,   INT32_MIN, INT32_MAX - 5, INT32_MAX, 1,    2,   3};

constexpr uint64_t kReadBudget = 300000;
constexpr size_t kMaxOperations = 64;
constexpr size_t kBufferSize = D418_MAX_PAYLOAD;
constexpr uint8_t kUntouched = 0xA5;

enum class Stage {
    Idle,       // no access allowed (between operations, Init, Timeout)
    ResetWrite, // the reset write comes next
    ResetPoll,  // status reads until the ready pattern
    Frame,      // data writes of the frame, then the status write
    Busy,       // status reads until TransmitBusy clears
    Read,       // D418ReadResponse: status reads, data reads after DataReady
};

struct Board final : sim::PortDevice {
    // The input's board.
    Reader runs;
    uint8_t run_value = 0;
    uint64_t run_left = 0;
    uint8_t status_fill = 0;
    Reader data;
    uint8_t data_fill = 0;
    uint16_t base = 0x300;
    uint64_t total_reads = 0;

    // What the current operation did.
    Stage stage = Stage::Idle;
    bool send = false;
    uint64_t status_reads = 0, data_reads = 0, writes = 0;
    uint64_t reset_reads = 0, first_ready = 0;  // index of the first 0xEE, 0: none
    std::vector<uint8_t> frame;                 // the frame a send must write
    size_t frame_written = 0;
    uint64_t busy_reads = 0, first_idle = 0;    // index of the first clear busy bit
    uint64_t wait_reads = 0;
    bool wait_over = false;
    bool ready_shown = false;  // the previous access showed DataReady
    std::vector<uint8_t> after_wait;   // status bytes shown after the wait
    std::vector<uint8_t> data_served;  // data bytes shown in this read

    void Begin(Stage first, bool is_send) {
        stage = first;
        send = is_send;
        status_reads = data_reads = writes = 0;
        reset_reads = first_ready = 0;
        frame.clear();
        frame_written = 0;
        busy_reads = first_idle = 0;
        wait_reads = 0;
        wait_over = false;
        ready_shown = false;
        after_wait.clear();
        data_served.clear();
    }

    // Once the runs are used up the board is a healthy one that shows the
    // ready pattern at once after a reset and ends every transmission at
    // once; during a read it shows the status fill byte.
    uint8_t NextStatus() {
        uint8_t v = stage == Stage::ResetPoll ? STATUS_READY_PATTERN
                    : stage == Stage::Busy    ? 0x00
                                              : status_fill;
        if (run_left == 0 && runs.left) {
            run_value = runs.Byte();
            uint8_t code = runs.Byte();
            run_left = code < 0xE0 ? code + 1u
                       : code < 0xF0 ? 256ull << (code - 0xE0)
                                     : kEdgeCounts[code - 0xF0];
        }
        if (run_left) {
            run_left--;
            v = run_value;
        }
        if (total_reads > kReadBudget) v &= (uint8_t)~STATUS_REPLY_WAIT;
        return v;
    }

    unsigned Offset(uint16_t port) const { return (uint16_t)(port - base); }

    uint8_t In(uint16_t port) override {
        total_reads++;
        unsigned off = Offset(port);
        if (off == PORT_STATUS) {
            uint8_t v = NextStatus();
            status_reads++;
            switch (stage) {
            case Stage::ResetPoll:
                reset_reads++;
                if (v == STATUS_READY_PATTERN && !first_ready) first_ready = reset_reads;
                CHECK(reset_reads <= RESET_POLL_LIMIT, "reset poll goes on");
                break;
            case Stage::Busy:
                busy_reads++;
                if (!(v & STATUS_TRANSMIT_BUSY) && !first_idle) first_idle = busy_reads;
                CHECK(busy_reads <= TRANSMIT_POLL_LIMIT + 1, "busy poll goes on");
                break;
            case Stage::Read:
                if (!wait_over) {
                    wait_reads++;
                    if (!(v & STATUS_REPLY_WAIT)) wait_over = true;
                } else {
                    after_wait.push_back(v);
                    CHECK(after_wait.size() <= 6 + PORT_MAX_PAYLOAD,
                          "%zu status reads after the wait", after_wait.size());
                }
                break;
            default:
                CHECK(false, "status read at stage %d", (int)stage);
            }
            ready_shown = stage == Stage::Read && wait_over && (v & STATUS_DATA_READY);
            return v;
        }
        CHECK(off == PORT_DATA, "read of port %04X (base %04X)", port, base);
        CHECK(stage == Stage::Read, "data read at stage %d", (int)stage);
        CHECK(ready_shown, "data read without DataReady just shown");
        ready_shown = false;
        data_reads++;
        uint8_t v = data.left ? data.Byte() : data_fill;
        data_served.push_back(v);
        CHECK(data_served.size() <= REPLY_HEADER_SIZE + PORT_MAX_PAYLOAD,
              "%zu data reads", data_served.size());
        return v;
    }

    void Out(uint16_t port, uint8_t value) override {
        writes++;
        ready_shown = false;
        unsigned off = Offset(port);
        switch (stage) {
        case Stage::ResetWrite:
            CHECK(off == PORT_RESET && value == 0, "first write %04X, %02X", port, value);
            stage = Stage::ResetPoll;
            return;
        case Stage::ResetPoll:
        case Stage::Frame:
            CHECK(send, "write %04X, %02X after a reset", port, value);
            if (stage == Stage::ResetPoll) {
                CHECK(first_ready && first_ready < RESET_POLL_LIMIT,
                      "frame written after a failed reset");
                stage = Stage::Frame;
            }
            if (off == PORT_DATA) {
                CHECK(frame_written < frame.size(), "frame byte %zu of %zu", frame_written + 1,
                      frame.size());
                CHECK(value == frame[frame_written], "frame byte %zu is %02X, not %02X",
                      frame_written, value, frame[frame_written]);
                frame_written++;
                return;
            }
            CHECK(off == PORT_STATUS && value == 0, "write %04X, %02X in the frame", port, value);
            CHECK(frame_written == frame.size(), "status write after %zu of %zu frame bytes",
                  frame_written, frame.size());
            stage = Stage::Busy;
            return;
        default:
            CHECK(false, "write %04X, %02X at stage %d", port, value, (int)stage);
        }
    }
};

// PORT_FUZZ_VERBOSE=1 prints each operation and its outcome (to look at a
// reproducer or a seed).
const bool verbose = getenv("PORT_FUZZ_VERBOSE") != nullptr;
#define NOTE(...)                                  \
    do {                                           \
        if (verbose) fprintf(stderr, __VA_ARGS__); \
    } while (0)

Board board;
uint32_t timeout = 200;
uint8_t *buffer = nullptr;  // exactly kBufferSize bytes, so that ASan sees overruns

struct Watch {
    size_t set_last_error = sim::Count(sim::Ev::SetLastError);
    uint64_t sleeps = sim::P().sleeps;
    uint64_t clock_ms = sim::P().clock_ms;
    long allocs = sim::P().allocs, frees = sim::P().frees;
};

void CheckQuiet(const Watch &w, const char *op) {
    CHECK(sim::Count(sim::Ev::SetLastError) == w.set_last_error, "%s set the last error", op);
    CHECK(sim::P().live_blocks == 0, "%s left %ld blocks", op, sim::P().live_blocks);
}

// The reset handshake as the board saw it: `reads` status reads, the first
// ready pattern on read `first` (0: none).
void CheckHandshake(int32_t result, uint64_t reads, uint64_t first) {
    if (first && first < RESET_POLL_LIMIT) {
        CHECK(result != 4, "not found after the pattern on read %llu", (unsigned long long)first);
        CHECK(reads == first, "%llu reads after the pattern on read %llu",
              (unsigned long long)reads, (unsigned long long)first);
    } else {
        CHECK(result == 4, "result %d with no pattern before read 100000", result);
        CHECK(reads == RESET_POLL_LIMIT, "%llu reads without the pattern",
              (unsigned long long)reads);
    }
}

void DoReset() {
    Watch w;
    board.Begin(Stage::ResetWrite, false);
    int32_t result = D418Reset();
    board.stage = Stage::Idle;
    NOTE("reset: %d after %llu reads\n", result, (unsigned long long)board.status_reads);
    CHECK(result == 0 || result == 4, "reset gave %d", result);
    CHECK(board.writes == 1 && board.data_reads == 0, "reset made %llu writes",
          (unsigned long long)board.writes);
    CHECK(board.status_reads == board.reset_reads && board.reset_reads <= RESET_POLL_LIMIT,
          "reset made %llu reads", (unsigned long long)board.status_reads);
    CheckHandshake(result, board.reset_reads, board.first_ready);
    CHECK(sim::P().sleeps == w.sleeps, "reset paused");
    CheckQuiet(w, "reset");
}

void DoSend(Reader &ops) {
    uint8_t flags = ops.Byte();
    int32_t w2 = (int32_t)ops.Le(2), w1 = (int32_t)ops.Le(2);
    // Some high bits, which the frame must drop.
    if (flags & 0x04) w2 |= (int32_t)0xABCD0000u;
    if (flags & 0x08) w1 = -w1 - 1;
    uint8_t code = ops.Byte();
    int32_t length = code < 0xF0 ? code : kLengths[code - 0xF0];
    uint8_t seed = ops.Byte();
    bool makes_frame = length >= 0 && length <= INT32_MAX - 6;
    bool fail_alloc = makes_frame && (flags & 0x02);

    // The payload lives in a block of exactly its length, so a read past it
    // shows; a refused length gets an empty block that must not be read.
    size_t payload_size = makes_frame ? (size_t)length : 0;
    uint8_t *payload = nullptr;
    if (!(length == 0 && (flags & 0x01)) || !makes_frame) {
        payload = (uint8_t *)malloc(payload_size ? payload_size : 1);
        for (size_t i = 0; i < payload_size; i++) payload[i] = (uint8_t)(seed + 37 * i);
    }

    Watch w;
    board.Begin(makes_frame && !fail_alloc ? Stage::ResetWrite : Stage::Idle, true);
    if (makes_frame) {
        const uint8_t head[6] = {1, 0, (uint8_t)w1, (uint8_t)(w1 >> 8), (uint8_t)w2,
                                 (uint8_t)(w2 >> 8)};
        board.frame.assign(head, head + 6);
        board.frame.insert(board.frame.end(), payload, payload + payload_size);
    }
    if (fail_alloc) sim::P().fail_alloc = sim::P().allocs + 1;
    int32_t result = D418SendCommand(w2, w1, payload, length);
    sim::P().fail_alloc = 0;
    Stage end = board.stage;
    board.stage = Stage::Idle;
    free(payload);
    NOTE("send length %d: %d after %llu writes, %llu reads\n", length, result,
         (unsigned long long)board.writes, (unsigned long long)board.status_reads);

    CHECK(sim::P().live_blocks == 0, "send left %ld blocks", sim::P().live_blocks);
    if (!makes_frame || fail_alloc) {
        uint32_t error = makes_frame ? 8 : 87;
        CHECK(result == 1, "send of length %d gave %d", length, result);
        CHECK(sim::Count(sim::Ev::SetLastError) == w.set_last_error + 1 &&
                  sim::P().last_error == error,
              "send of length %d: last error %u", length, sim::P().last_error);
        CHECK(board.writes == 0 && board.status_reads == 0, "refused send touched the board");
        CHECK(sim::P().allocs == w.allocs + (makes_frame ? 1 : 0), "send allocated %ld blocks",
              sim::P().allocs - w.allocs);
        return;
    }
    CheckQuiet(w, "send");
    CHECK(sim::P().allocs == w.allocs + 1 && sim::P().frees == w.frees + 1,
          "send made %ld allocations and %ld frees", sim::P().allocs - w.allocs,
          sim::P().frees - w.frees);
    CHECK(result == 0 || result == 3 || result == 4, "send gave %d", result);
    CHECK(sim::P().sleeps == w.sleeps, "send paused");
    CHECK(board.data_reads == 0, "send read data");
    const uint64_t frame_size = board.frame.size();
    CHECK(board.writes <= 1 + frame_size + 1, "send made %llu writes",
          (unsigned long long)board.writes);
    CHECK(board.status_reads <= RESET_POLL_LIMIT + TRANSMIT_POLL_LIMIT + 1,
          "send made %llu reads", (unsigned long long)board.status_reads);
    CheckHandshake(result, board.reset_reads, board.first_ready);
    if (result == 4) {
        CHECK(end == Stage::ResetPoll && board.writes == 1, "send went on after a failed reset");
        return;
    }
    CHECK(end == Stage::Busy && board.writes == 1 + frame_size + 1,
          "send ended at stage %d after %llu writes", (int)end, (unsigned long long)board.writes);
    CHECK(board.status_reads == board.reset_reads + board.busy_reads, "reads out of place");
    if (board.first_idle && board.first_idle <= TRANSMIT_POLL_LIMIT) {
        CHECK(result == 0, "send gave %d with busy clear on read %llu", result,
              (unsigned long long)board.first_idle);
        CHECK(board.busy_reads == board.first_idle, "%llu busy reads, clear on read %llu",
              (unsigned long long)board.busy_reads, (unsigned long long)board.first_idle);
    } else {
        CHECK(result == 3, "send gave %d with busy through read 100000", result);
        CHECK(board.busy_reads == TRANSMIT_POLL_LIMIT + 1, "%llu busy reads",
              (unsigned long long)board.busy_reads);
    }
}

void DoRead(Reader &ops) {
    uint8_t flags = ops.Byte();
    uint8_t *target = (flags & 0x01) ? nullptr : buffer;
    memset(buffer, kUntouched, kBufferSize);
    int32_t count = 0x5A5A5A5A;
    const uint64_t limit = timeout >> 1;

    Watch w;
    board.Begin(Stage::Read, false);
    int32_t result = D418ReadResponse(target, &count);
    board.stage = Stage::Idle;
    NOTE("read (timeout %u, buffer %s): %d, count %d, %llu status and %llu data reads, %llu pauses\n",
         timeout, target ? "given" : "null", result, count, (unsigned long long)board.status_reads,
         (unsigned long long)board.data_reads, (unsigned long long)(sim::P().sleeps - w.sleeps));
    CheckQuiet(w, "read");

    CHECK(board.writes == 0, "read wrote");
    const uint64_t sleeps = sim::P().sleeps - w.sleeps;
    CHECK(sim::P().clock_ms - w.clock_ms == sleeps * REPLY_WAIT_INTERVAL_MS,
          "pauses of other than 20 ms");
    CHECK(sleeps <= limit, "%llu pauses, limit %llu", (unsigned long long)sleeps,
          (unsigned long long)limit);
    CHECK(board.status_reads + board.data_reads <=
              (limit + 1) + (REPLY_HEADER_SIZE + 1 + REPLY_HEADER_SIZE) + 2 * PORT_MAX_PAYLOAD + 1,
          "read made %llu reads, limit %llu", (unsigned long long)(board.status_reads + board.data_reads),
          (unsigned long long)limit);
    CHECK(count >= 0 && count <= (int32_t)PORT_MAX_PAYLOAD, "count %d", count);

    // What the board showed decides the outcome: the wait ends on the first
    // status byte without ReplyWait, unless `limit` pauses came first.
    const bool ended = board.wait_over && board.wait_reads <= limit;
    if (!ended) {
        CHECK(result == 3, "read gave %d after %llu waiting reads, limit %llu", result,
              (unsigned long long)board.wait_reads, (unsigned long long)limit);
        CHECK(board.wait_reads == limit + 1 && sleeps == limit && board.after_wait.empty(),
              "timed out after %llu reads and %llu pauses, limit %llu",
              (unsigned long long)board.wait_reads, (unsigned long long)sleeps,
              (unsigned long long)limit);
    } else {
        CHECK(sleeps == board.wait_reads - 1, "%llu pauses for %llu waiting reads",
              (unsigned long long)sleeps, (unsigned long long)board.wait_reads);
    }
    const std::vector<uint8_t> &after = board.after_wait;
    size_t header = 0;
    while (ended && header < REPLY_HEADER_SIZE && header < after.size() &&
           (after[header] & STATUS_DATA_READY))
        header++;
    if (!ended || header < REPLY_HEADER_SIZE) {
        if (ended) {
            CHECK(result == 2, "read gave %d after %zu header bytes", result, header);
            CHECK(after.size() == header + 1, "%zu status reads for %zu header bytes",
                  after.size(), header);
        }
        CHECK(board.data_reads == header, "%llu data reads for %zu header bytes",
              (unsigned long long)board.data_reads, header);
        CHECK(count == 0, "count %d after result %d", count, result);
        for (size_t i = 0; i < kBufferSize; i++)
            CHECK(buffer[i] == kUntouched, "buffer byte %zu changed after result %d", i, result);
        return;
    }
    size_t payload = 0;
    while (payload < PORT_MAX_PAYLOAD && REPLY_HEADER_SIZE + 1 + payload < after.size() &&
           (after[REPLY_HEADER_SIZE + 1 + payload] & STATUS_DATA_READY))
        payload++;
    // Every payload ends with one status read, a capped one included.
    const size_t status_after = REPLY_HEADER_SIZE + 1 + payload + 1;
    CHECK(after.size() == status_after, "%zu status reads after the wait for %zu payload bytes",
          after.size(), payload);
    CHECK(board.data_reads == REPLY_HEADER_SIZE + payload, "%llu data reads for %zu payload bytes",
          (unsigned long long)board.data_reads, payload);
    CHECK(count == (int32_t)payload, "count %d for %zu payload bytes", count, payload);
    const std::vector<uint8_t> &d = board.data_served;
    const int32_t word = d[2] + 256 * d[3];
    CHECK(result == word, "read gave %d for status word %d", result, word);
    for (size_t i = 0; i < kBufferSize; i++) {
        uint8_t want = target && i < payload ? d[REPLY_HEADER_SIZE + i] : kUntouched;
        CHECK(buffer[i] == want, "buffer byte %zu is %02X, not %02X", i, buffer[i], want);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!buffer) buffer = (uint8_t *)malloc(kBufferSize);

    Reader in{data, size};
    uint8_t status_fill = in.Byte(), data_fill = in.Byte();
    size_t ops_size = in.Byte(), runs_size = in.Byte();
    if (ops_size > in.left) ops_size = in.left;
    Reader ops{in.p, ops_size};
    in.p += ops_size;
    in.left -= ops_size;
    if (runs_size > in.left) runs_size = in.left;
    board = Board();
    board.status_fill = status_fill;
    board.data_fill = data_fill;
    board.runs = Reader{in.p, runs_size};
    board.data = Reader{in.p + runs_size, in.left - runs_size};

    sim::P().Reset();
    sim::P().version = sim::kWindows98;
    sim::P().record_ports = false;
    sim::P().ports = &board;
    BoardBase = 0x300;
    ReplyTimeout = 200;
    timeout = 200;

    for (size_t n = 0; n < kMaxOperations && ops.left && board.total_reads <= kReadBudget; n++) {
        uint8_t op = ops.Byte();
        switch (op & 7) {
        case 0: {
            uint32_t base = ops.Le(4);
            board.Begin(Stage::Idle, false);
            CHECK(D418Init(base) == 0, "init");
            board.base = (uint16_t)(base & 0xFFFF);  // the library keeps the low 16 bits
            NOTE("init %08X\n", base);
            break;
        }
        case 1: {
            uint8_t code = ops.Byte();
            uint32_t t = (code & 0x80) ? ops.Le(4) : kTimeouts[code & 15];
            board.Begin(Stage::Idle, false);
            CHECK(D418Timeout(t) == 0, "timeout");
            timeout = t;
            NOTE("timeout %u\n", t);
            break;
        }
        case 2:
        case 7: DoReset(); break;
        case 3:
        case 6: DoSend(ops); break;
        default: DoRead(ops); break;
        }
        CHECK(sim::P().live_blocks == 0, "blocks left");
    }
    sim::P().ports = nullptr;
    return 0;
}
