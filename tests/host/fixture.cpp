#include "fixture.h"

#include "lifecycle.h"

namespace {
// Taken before any test runs: the values the library starts with.
const uint16_t kInitialBase = BoardBase;
const uint32_t kInitialTimeout = ReplyTimeout;
const PlatformHandle kInitialHandle = DeviceHandle;
const uint8_t kInitialFlag = InUseFlag;
}  // namespace

void RestoreLibraryState() {
    // A process that holds the flag lets go of it through its unload step.
    if (HoldsInUseFlag()) {
        uint32_t version = sim::P().version;
        sim::P().version = sim::kWindows98;
        UnloadStep();
        sim::P().version = version;
        sim::P().events.clear();
    }
    BoardBase = kInitialBase;
    ReplyTimeout = kInitialTimeout;
    DeviceHandle = kInitialHandle;
    InUseFlag = kInitialFlag;
}

TEST(LibraryState, StartsAtTheDocumentedValues) {
    EXPECT_EQ(kInitialBase, 0x300);
    EXPECT_EQ(kInitialTimeout, 200u);
    EXPECT_EQ(kInitialHandle, nullptr);
    EXPECT_EQ(kInitialFlag, 0);
}
