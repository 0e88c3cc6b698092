// The run-time binding of d418lib.dll against the simulated loader.
#include <cstring>

#include "diag_test.h"

namespace {

class Binding : public DiagTest {};

TEST_F(Binding, NoLibraryLooksUpAndReleasesNothing) {
    simload::SetLastError(0);
    EXPECT_EQ(D418Init(0x300), 1);
    EXPECT_EQ(simload::Calls(), Calls{"LoadLibraryA d418lib.dll"});
    EXPECT_EQ(simload::LastError(), simload::kModNotFound);
}

TEST_F(Binding, FailedLoadKeepsItsOwnLastError) {
    simload::Library &library = simload::ScriptD418();
    library.present = false;
    library.load_error = 193;  // not a valid image
    EXPECT_EQ(D418Init(0x300), 1);
    EXPECT_EQ(simload::Calls(), Calls{"LoadLibraryA d418lib.dll"});
    EXPECT_EQ(simload::LastError(), 193u);
}

TEST_F(Binding, FailedLoadAfterAGoodOneKeepsTheNullHandle) {
    simload::Library &library = simload::ScriptD418();
    ASSERT_EQ(D418Init(0x300), 0);
    EXPECT_EQ(Bound.library, (LoaderModule)&library);
    library.present = false;
    EXPECT_EQ(D418Init(0x300), 1);
    EXPECT_EQ(Bound.library, nullptr);
    EXPECT_EQ(library.load_count, 1);  // the first load is never released
}

class MissingExport : public DiagTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(MissingExport, LooksUpAllFiveThenReleases) {
    simload::Library &library = simload::ScriptD418();
    library.exports.erase(GetParam());
    library.load_count = 3;  // loaded elsewhere already: the count must come back to 3
    EXPECT_EQ(D418Init(0x300), 1);
    EXPECT_EQ(simload::Calls(), Then(BindCalls(), {"FreeLibrary d418lib.dll"}));
    EXPECT_EQ(library.load_count, 3);
    EXPECT_EQ(simload::LastError(), simload::kProcNotFound);
}

INSTANTIATE_TEST_SUITE_P(Each, MissingExport,
                         ::testing::Values("D418SendCommand", "D418ReadResponse", "D418Reset",
                                           "D418Init", "D418Timeout"));

TEST_F(Binding, EveryCallLoadsAgainAndReturnsItsOwnResult) {
    simload::Library &library = simload::ScriptD418();
    simload::Answer().init = 0;
    EXPECT_EQ(D418Init(0x300), 0);
    simload::Answer().init = 7;
    EXPECT_EQ(D418Init(0x280), 7);
    EXPECT_EQ(library.load_count, 2);
    EXPECT_EQ(simload::Calls(), Then(Then(BindCalls(), {"D418Init 0x00000300"}),
                                     Then(BindCalls(), {"D418Init 0x00000280"})));
}

class BaseBits : public DiagTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(BaseBits, ReachTheLibraryWhole) {
    simload::ScriptD418();
    EXPECT_EQ(D418Init(GetParam()), 0);
    char line[32];
    std::snprintf(line, sizeof line, "D418Init 0x%08X", (unsigned)GetParam());
    EXPECT_EQ(simload::Calls(), Then(BindCalls(), {line}));
}

INSTANTIATE_TEST_SUITE_P(Bases, BaseBits,
                         ::testing::Values(0xFFFFFFFFu, 0x12345678u, 0x00010300u, 0u));

class Forwarding : public DiagTest {
protected:
    void SetUp() override {
        DiagTest::SetUp();
        simload::ScriptD418();
        ASSERT_EQ(D418Init(0x300), 0);
        simload::Calls().clear();
    }
};

TEST_F(Forwarding, ResetResultPassesThrough) {
    simload::Answer().reset = 261;
    EXPECT_EQ(D418Reset(), 261);
    EXPECT_EQ(simload::Calls(), Calls{"D418Reset"});
}

TEST_F(Forwarding, SendCommandPassesW2BeforeW1) {
    simload::Answer().send_command = 0x1234;
    const uint8_t payload[] = {0xAA, 0xBB};
    EXPECT_EQ(D418SendCommand(0x0304, 0x0102, payload, 2), 0x1234);
    EXPECT_EQ(D418SendCommand(-1, 0x10000, nullptr, 0), 0x1234);
    EXPECT_EQ(simload::Calls(), (Calls{"D418SendCommand w2=0x304 w1=0x102 length=2 AA BB",
                                       "D418SendCommand w2=0xFFFFFFFF w1=0x10000 length=0"}));
}

TEST_F(Forwarding, ReadResponsePassesBufferAndCount) {
    simload::Answer().reply = {1, 2, 3};
    simload::Answer().read_response = 3;
    uint8_t buffer[8] = {};
    int32_t count = -1;
    EXPECT_EQ(D418ReadResponse(buffer, &count), 3);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::memcmp(buffer, "\1\2\3\0", 4), 0);
    count = -1;
    EXPECT_EQ(D418ReadResponse(nullptr, &count), 3);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(simload::Calls(), (Calls{"D418ReadResponse buffer", "D418ReadResponse null"}));
}

TEST_F(Forwarding, TimeoutPassesAllBits) {
    simload::Answer().timeout = 1;
    EXPECT_EQ(D418Timeout(0xFFFFFFFF), 1);
    EXPECT_EQ(simload::Calls(), Calls{"D418Timeout 0xFFFFFFFF"});
}

}  // namespace
