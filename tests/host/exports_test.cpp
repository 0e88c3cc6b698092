// The exported operations' own rules: the frame's life, refused lengths,
// memory that cannot be had, and the family test at every call.
#include "fixture.h"

namespace {

class Exports : public LibTest {};

TEST_F(Exports, FrameIsBuiltBeforeTheFamilyTestAndReleasedAfter) {
    UseBoard();
    const uint8_t payload[] = {7};
    EXPECT_EQ(D418SendCommand(2, 1, payload, 1), 0);
    std::string calls = sim::Trace({sim::Ev::Alloc, sim::Ev::GetVersion, sim::Ev::Free});
    EXPECT_EQ(calls, "Alloc 7\nGetVersion\nFree\n");
    EXPECT_EQ(sim::P().last_freed, (Bytes{1, 0, 1, 0, 2, 0, 7}));
    EXPECT_EQ(sim::P().live_blocks, 0);
}

struct RefusedCase {
    const char *name;
    uint32_t version;
    int32_t length;
    long fail_alloc;
    uint32_t error;
};

class RefusedTable : public Exports, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedTable, SendsNothing) {
    const RefusedCase &c = GetParam();
    sim::P().version = c.version;
    sim::P().fail_alloc = c.fail_alloc;
    UseBoard();
    const uint8_t payload[16] = {};
    EXPECT_EQ(D418SendCommand(1, 2, payload, c.length), 1);
    EXPECT_EQ(sim::P().last_error, c.error);
    EXPECT_EQ(sim::PortTrace(), "");
    EXPECT_TRUE(sim::P().ioctls.empty());
    EXPECT_EQ(sim::P().live_blocks, 0);
    EXPECT_EQ(sim::Count(sim::Ev::Alloc), c.fail_alloc ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Refused, RefusedTable,
    ::testing::Values(
        RefusedCase{"negative_length_port", sim::kWindows98, -1, 0, 87},
        RefusedCase{"negative_length_driver", sim::kWindowsNt, -1, 0, 87},
        RefusedCase{"most_negative_length", sim::kWindowsNt, INT32_MIN, 0, 87},
        RefusedCase{"length_plus_six_overflows", sim::kWindows98, INT32_MAX - 5, 0, 87},
        RefusedCase{"no_memory_port", sim::kWindows98, 4, 1, 8},
        RefusedCase{"no_memory_driver", sim::kWindowsNt, 4, 1, 8}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Exports, EveryCallMakesTheFamilyTestAfresh) {
    UseBoard();
    sim::P().answers.push_back({});
    int32_t count = 0;
    D418Init(0x300);  // port path
    sim::P().version = sim::kWindowsNt;
    D418Init(0x300);  // driver path
    sim::P().version = sim::kWindows98;
    D418Reset();
    EXPECT_EQ(sim::Count(sim::Ev::GetVersion), 3u);
    EXPECT_EQ(sim::P().ioctls.size(), 1u);
    EXPECT_EQ(sim::Count(sim::Ev::PortOut), 1u);
    (void)count;
}

TEST_F(Exports, VersionHighBitDecidesTheFamily) {
    struct {
        uint32_t version;
        bool driver;
    } cases[] = {{0x00000000u, true}, {0x7FFFFFFFu, true}, {0x80000000u, false},
                 {0xC0000A04u, false}, {0xFFFFFFFFu, false}};
    for (const auto &c : cases) {
        sim::P().Reset();
        sim::P().version = c.version;
        EXPECT_EQ(D418Timeout(10), 0);
        EXPECT_EQ(sim::P().ioctls.size(), c.driver ? 1u : 0u) << std::hex << c.version;
    }
}

}  // namespace
