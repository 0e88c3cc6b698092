// The load entry: the one-process flag and, on the NT family, the device.
#include "fixture.h"

#include "lifecycle.h"

namespace {

class Lifecycle : public LibTest {};

const PlatformHandle kDevice = reinterpret_cast<PlatformHandle>(0x44);

TEST_F(Lifecycle, PortFamilyLoadTakesTheFlagAndOpensNothing) {
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 1);
    EXPECT_EQ(InUseFlag, 1);
    EXPECT_TRUE(sim::P().opens.empty());
    EXPECT_EQ(DeviceHandle, nullptr);
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_DETACH), 1);
    EXPECT_EQ(InUseFlag, 0);
    EXPECT_TRUE(sim::P().closes.empty());
}

TEST_F(Lifecycle, NtLoadOpensTheDeviceWithExactArguments) {
    sim::P().version = sim::kWindowsNt;
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 1);
    EXPECT_EQ(InUseFlag, 1);
    ASSERT_EQ(sim::P().opens.size(), 1u);
    const sim::CreateFileCall &open = sim::P().opens[0];
    EXPECT_EQ(open.name, "\\\\.\\D418");
    EXPECT_EQ(open.name.size(), 8u);
    EXPECT_EQ(open.access, 0u);
    EXPECT_EQ(open.share, 0u);
    EXPECT_EQ(open.disposition, 3u);  // OPEN_EXISTING
    EXPECT_EQ(open.flags, 0u);
    EXPECT_EQ(DeviceHandle, kDevice);
    // The flag is set before the device is opened, cleared before it is closed.
    sim::P().events.clear();
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_DETACH), 1);
    EXPECT_EQ(InUseFlag, 0);
    ASSERT_EQ(sim::P().closes.size(), 1u);
    EXPECT_EQ(sim::P().closes[0], kDevice);
    EXPECT_EQ(sim::Trace(), "GetVersion\nCloseHandle\n");
}

TEST_F(Lifecycle, NoDeviceRefusesTheLoadAndGivesTheFlagBack) {
    sim::P().version = sim::kWindowsNt;
    sim::P().open_result = PLATFORM_INVALID_HANDLE;
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 0);
    EXPECT_EQ(InUseFlag, 0);
    EXPECT_FALSE(HoldsInUseFlag());
    // The run time reports a detach after the refusal: nothing is closed.
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_DETACH), 1);
    EXPECT_TRUE(sim::P().closes.empty());
    // Once the driver is there, the next load is accepted.
    sim::P().open_result = kDevice;
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 1);
    EXPECT_EQ(InUseFlag, 1);
}

TEST_F(Lifecycle, FlagHeldByAnotherProcessRefusesWithoutWriting) {
    for (uint8_t held : {1, 2, 0xFF}) {
        for (uint32_t version : {sim::kWindows98, sim::kWindowsNt}) {
            sim::P().Reset();
            sim::P().version = version;
            InUseFlag = held;
            EXPECT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 0);
            EXPECT_EQ(InUseFlag, held);
            EXPECT_TRUE(sim::P().opens.empty());
            EXPECT_EQ(sim::Count(sim::Ev::GetVersion), 0u);
            // This process never set the flag: its detach leaves it alone.
            EXPECT_EQ(LoadEntry(LOAD_PROCESS_DETACH), 1);
            EXPECT_EQ(InUseFlag, held);
            EXPECT_TRUE(sim::P().closes.empty());
        }
    }
    InUseFlag = 0;
}

TEST_F(Lifecycle, FailedCloseGivesFalseWithTheFlagCleared) {
    sim::P().version = sim::kWindowsNt;
    ASSERT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 1);
    sim::P().close_result = 0;
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_DETACH), 0);
    EXPECT_EQ(InUseFlag, 0);
    sim::P().close_result = 1;
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 1);
}

TEST_F(Lifecycle, ThreadNotificationsChangeNothing) {
    sim::P().version = sim::kWindowsNt;
    ASSERT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 1);
    sim::P().events.clear();
    for (uint32_t reason : {2u, 3u, 4u, 99u, 0xFFFFFFFFu}) EXPECT_EQ(LoadEntry(reason), 1) << reason;
    EXPECT_EQ(InUseFlag, 1);
    EXPECT_EQ(DeviceHandle, kDevice);
    EXPECT_EQ(sim::Trace(), "");
}

TEST_F(Lifecycle, UnloadMakesTheFamilyTestAfresh) {
    // Loaded as NT, unloaded while the version reads as Windows 98: no close.
    sim::P().version = sim::kWindowsNt;
    ASSERT_EQ(LoadEntry(LOAD_PROCESS_ATTACH), 1);
    sim::P().version = sim::kWindows98;
    EXPECT_EQ(LoadEntry(LOAD_PROCESS_DETACH), 1);
    EXPECT_TRUE(sim::P().closes.empty());
    EXPECT_EQ(InUseFlag, 0);
}

}  // namespace
