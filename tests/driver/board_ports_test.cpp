// The driver's requests reach the configured base's four ports and no
// other: INIT with any other base is refused before a port is touched, the
// requests after a refused INIT go to the configured ports exactly as if it
// had never come, and each open starts with the configured base and the
// initial timeout. Port traces against the C board model.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host_platform.h"
#include "library_state.h"
#include "requests.h"
#include "sim_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kSuccess = D418_STATUS_SUCCESS;
constexpr int32_t kDenied = D418_STATUS_ACCESS_DENIED;

Bytes Le32(uint32_t v) {
    return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
}

std::string Hex(uint32_t v) {
    char text[16];
    snprintf(text, sizeof text, "0x%X", v);
    return text;
}

// A port as the trace shows it.
std::string Port(uint32_t v) {
    char text[16];
    snprintf(text, sizeof text, "%04X", v);
    return text;
}

class BoardPorts : public ::testing::Test {
protected:
    // A driver configured for `configured`, with the board there.
    void Configure(uint32_t configured) {
        sim::P().Reset();
        drvtest::end_wait_after = 0;
        D418RequestsConfigure(configured);
        board_ = std::make_unique<drvtest::ModelDevice>();
        board_->model.script.base = (uint16_t)configured;
        BoardModelStart(&board_->model);
        sim::P().ports = board_.get();
        configured_ = configured;
    }
    void TearDown() override { sim::P().ports = nullptr; }

    int32_t Call(uint32_t code, const Bytes &input, uint32_t output_length) {
        Bytes buffer(std::max<size_t>(input.size(), output_length), 0xCD);
        std::copy(input.begin(), input.end(), buffer.begin());
        uint32_t answered = 0;
        int32_t status = D418HandleRequest(code, buffer.data(), (uint32_t)input.size(),
                                           output_length, &answered);
        EXPECT_LE(answered, output_length);
        return status;
    }

    // Ports touched since the last look that lie outside the configured
    // four, as text ("" when none).
    std::string PortsOutside() {
        std::string outside;
        for (const sim::Event &e : sim::P().events) {
            if (e.kind != sim::Ev::PortIn && e.kind != sim::Ev::PortOut) continue;
            if (e.a < configured_ || e.a > configured_ + 3) outside += Hex(e.a) + " ";
        }
        return outside;
    }

    // RESET, SEND and READ, each with its trace.
    std::vector<std::string> ResetSendRead() {
        std::vector<std::string> traces;
        sim::P().events.clear();
        Call(IOCTL_D418_RESET, {}, 4);
        traces.push_back(sim::PortTrace());
        sim::P().events.clear();
        Call(IOCTL_D418_SEND_COMMAND, {0x01, 0x00, 0x02, 0x01, 0x04, 0x03}, 4);
        traces.push_back(sim::PortTrace());
        sim::P().events.clear();
        Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
        traces.push_back(sim::PortTrace());
        return traces;
    }

    std::unique_ptr<drvtest::ModelDevice> board_;
    uint32_t configured_ = 0;
};

struct InitCase {
    const char *name;
    uint32_t configured;
    uint32_t base;  // INIT's four bytes
    bool accepted;
};

class InitBase : public BoardPorts, public ::testing::WithParamInterface<InitCase> {};

TEST_P(InitBase, OnlyTheConfiguredBaseIsTakenAndNoOtherPortIsTouched) {
    const InitCase &c = GetParam();
    // What RESET, SEND and READ do with no INIT at all.
    Configure(c.configured);
    std::vector<std::string> untouched = ResetSendRead();
    EXPECT_EQ(PortsOutside(), "");
    EXPECT_EQ(untouched[0], "out " + Port(c.configured + 3) + ", 00\nin " +
                                Port(c.configured + 1) + " = EE\n");

    // The same after the INIT.
    Configure(c.configured);
    EXPECT_EQ(Call(IOCTL_D418_INIT, Le32(c.base), 0), c.accepted ? kSuccess : kDenied);
    EXPECT_EQ(sim::PortTrace(), "");
    std::vector<std::string> after = ResetSendRead();
    EXPECT_EQ(after, untouched);
    sim::P().events.clear();
    Call(IOCTL_D418_RESET, {}, 4);
    EXPECT_EQ(PortsOutside(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Bases, InitBase,
    ::testing::Values(
        InitCase{"configured", 0x300, 0x300, true},
        InitCase{"configured_plus_0x10000", 0x300, 0x10300, true},
        InitCase{"configured_in_the_top_bits_too", 0x300, 0xFFFF0300u, true},
        InitCase{"fast_a20_at_0x92", 0x300, 0x8F, false},
        InitCase{"dma_master_clear_at_0x0d", 0x300, 0x0A, false},
        InitCase{"irq_mask_at_0x21", 0x300, 0x1E, false},
        InitCase{"cmos_at_0x71", 0x300, 0x6E, false},
        InitCase{"pci_configuration_at_0xcfc", 0x300, 0xCF9, false},
        InitCase{"ata_command_at_0x1f7", 0x300, 0x1F4, false},
        InitCase{"wrapping_past_0xffff", 0x300, 0xFFFE, false},
        InitCase{"overlapping_below", 0x300, 0x2FD, false},
        InitCase{"overlapping_above", 0x300, 0x301, false},
        InitCase{"zero", 0x300, 0, false},
        InitCase{"configured_shifted_up", 0x300, 0x3000000, false},
        InitCase{"another_configuration", 0x280, 0x280, true},
        InitCase{"another_configuration_plus_0x10000", 0x280, 0x10280, true},
        InitCase{"the_usual_base_under_another_configuration", 0x280, 0x300, false}),
    [](const auto &info) { return std::string(info.param.name); });

// Each accepted open starts with the configured base and the initial
// timeout: what one program set does not reach the next.
TEST_F(BoardPorts, AnOpenStartsWithTheConfiguredBaseAndTimeout) {
    // The board holds a reply back for longer than any timeout here, so a
    // read shows the timeout in its pauses.
    auto read = [this] {
        board_->model.script.reply_pending = 1;
        board_->model.script.wait_reads = 1000000;
        BoardModelStart(&board_->model);
        sim::P().events.clear();
        Call(IOCTL_D418_READ_RESPONSE, {}, 4096);
        return sim::PortTrace();
    };
    Configure(0x300);
    std::string fresh = read();

    Configure(0x300);
    EXPECT_EQ(Call(IOCTL_D418_INIT, Le32(0x8F), 0), kDenied);
    EXPECT_EQ(Call(IOCTL_D418_TIMEOUT, Le32(7), 0), kSuccess);
    std::string changed = read();
    EXPECT_EQ(changed, "in 0301 = 04\nSleep 20\nin 0301 = 04\nSleep 20\n"
                       "in 0301 = 04\nSleep 20\nin 0301 = 04\n");

    D418RequestsReset();  // as the create request does for the next open
    EXPECT_EQ(read(), fresh);
    EXPECT_EQ(PortsOutside(), "");
}

// The open's reset waits for the next request: the previous holder's last
// request, still running on the driver thread when the next open comes,
// finishes with the values it started with, and cannot leave its own
// behind for the next program either.
TEST_F(BoardPorts, AnOpensResetTakesEffectAtTheNextRequest) {
    Configure(0x300);
    EXPECT_EQ(Call(IOCTL_D418_TIMEOUT, Le32(7), 0), kSuccess);
    D418RequestsReset();
    EXPECT_EQ(ReplyTimeout, 7u);
    // A TIMEOUT of the previous holder that lands after the open...
    ReplyTimeout = 9;
    // ...is undone before the next program's first request runs.
    EXPECT_EQ(Call(IOCTL_D418_INIT, Le32(0x300), 0), kSuccess);
    EXPECT_EQ(ReplyTimeout, (uint32_t)D418_INITIAL_TIMEOUT);
    EXPECT_EQ(BoardBase, 0x300);
}

}  // namespace
