// One process at a time: the shared flag of the real d418lib.dll seen across
// processes. The parent maps the library without running its load entry
// (so it holds nothing itself, and the shared section stays alive while it
// watches), reads the flag byte directly, and starts children that load it
// for real:
//
//   lifecycle_e2e                 holding, refusing, releasing, racing
//   lifecycle_e2e no-driver       with no driver: refused, flag given back
//   lifecycle_e2e child-try       exit 0 if the load is accepted, else
//                                 GetLastError of the refused load
//   lifecycle_e2e child-hold      load, signal, hold until told to let go
//   lifecycle_e2e child-race      load at the start signal, report, hold
//   lifecycle_e2e hold-for MS     load, print "held", hold MS milliseconds
//                                 (for scripts that need a holder)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "simctl.h"
#include "spawn.h"
#include "wine_check.h"

namespace {

const char kLoaded[] = "D418LifecycleLoaded";
const char kRelease[] = "D418LifecycleRelease";
const char kStart[] = "D418LifecycleStart";
const char kTried[] = "D418LifecycleTried";

// The flag byte inside the mapped image: the start of the section .Shared.
volatile uint8_t *FindFlag(HMODULE image) {
    auto *base = reinterpret_cast<uint8_t *>(image);
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    IMAGE_SECTION_HEADER *section = IMAGE_FIRST_SECTION(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; i++, section++)
        if (memcmp(section->Name, ".Shared", 8) == 0) return base + section->VirtualAddress;
    return nullptr;
}

DWORD ExitCodeOf(HANDLE process) {
    WaitForSingleObject(process, 30000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

DWORD TryLoad() { return ExitCodeOf(Spawn("child-try")); }

// ---- children ----

int ChildTry() {
    HMODULE lib = LoadLibraryA("d418lib.dll");
    if (!lib) return (int)GetLastError();
    FreeLibrary(lib);
    return 0;
}

int ChildHold() {
    HANDLE loaded = OpenEventA(EVENT_MODIFY_STATE, FALSE, kLoaded);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, kRelease);
    HMODULE lib = LoadLibraryA("d418lib.dll");
    DWORD error = lib ? 0 : GetLastError();
    SetEvent(loaded);
    WaitForSingleObject(release, 30000);
    if (lib) FreeLibrary(lib);
    return (int)error;
}

int ChildRace() {
    HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, kStart);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, kRelease);
    HANDLE tried = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, kTried);
    WaitForSingleObject(start, 30000);
    HMODULE lib = LoadLibraryA("d418lib.dll");
    DWORD error = GetLastError();
    ReleaseSemaphore(tried, 1, nullptr);
    WaitForSingleObject(release, 30000);
    if (lib) {
        FreeLibrary(lib);
        return 1000;  // this one held the library
    }
    return (int)error;
}

int HoldFor(const char *milliseconds) {
    HMODULE lib = LoadLibraryA("d418lib.dll");
    if (!lib) {
        printf("refused %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    Sleep((DWORD)atoi(milliseconds));
    FreeLibrary(lib);
    return 0;
}

// ---- parent ----

void HoldRefuseRelease(volatile uint8_t *flag) {
    HANDLE loaded = CreateEventA(nullptr, TRUE, FALSE, kLoaded);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kRelease);
    D418SIM_COUNTS counts = {};
    CHECK_EQ(SimCtlCounts(&counts), 0);
    const uint32_t creates = counts.creates;

    HANDLE holder = Spawn("child-hold");
    CHECK_TRUE(holder != nullptr);
    CHECK_EQ(WaitForSingleObject(loaded, 30000), (DWORD)WAIT_OBJECT_0);
    CHECK_EQ(*flag, 1);
    CHECK_EQ(SimCtlCounts(&counts), 0);
    CHECK_EQ(counts.creates, creates + 1);
    CHECK_EQ(counts.open, 1u);

    // A second process is refused and touches neither the flag nor the device.
    CHECK_EQ(TryLoad(), (DWORD)ERROR_DLL_INIT_FAILED);
    CHECK_EQ(*flag, 1);
    CHECK_EQ(SimCtlCounts(&counts), 0);
    CHECK_EQ(counts.creates, creates + 1);
    CHECK_EQ(counts.open, 1u);

    // The holder lets go: flag cleared, device closed, the next load accepted.
    SetEvent(release);
    CHECK_EQ(ExitCodeOf(holder), (DWORD)0);
    CHECK_EQ(*flag, 0);
    CHECK_EQ(SimCtlWaitOpen(0, 5000), 0);
    CHECK_EQ(TryLoad(), (DWORD)0);
    CHECK_EQ(*flag, 0);
    CloseHandle(loaded);
    CloseHandle(release);
}

void LoadsAtTheSameInstant(volatile uint8_t *flag) {
    const int kProcesses = 4, kRounds = 5;
    for (int round = 0; round < kRounds; round++) {
        HANDLE start = CreateEventA(nullptr, TRUE, FALSE, kStart);
        HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kRelease);
        HANDLE tried = CreateSemaphoreA(nullptr, 0, kProcesses, kTried);
        std::vector<HANDLE> children;
        for (int i = 0; i < kProcesses; i++) children.push_back(Spawn("child-race"));
        Sleep(300);  // let every child reach the start line
        SetEvent(start);
        for (int i = 0; i < kProcesses; i++) WaitForSingleObject(tried, 30000);
        CHECK_EQ(*flag, 1);
        SetEvent(release);
        int holders = 0, refused = 0;
        for (HANDLE child : children) {
            DWORD code = ExitCodeOf(child);
            holders += code == 1000;
            refused += code == ERROR_DLL_INIT_FAILED;
        }
        CHECK_EQ(holders, 1);
        CHECK_EQ(refused, kProcesses - 1);
        CHECK_EQ(*flag, 0);
        SimCtlWaitOpen(0, 5000);
        CloseHandle(start);
        CloseHandle(release);
        CloseHandle(tried);
    }
}

void NoDriverRefusesAndGivesTheFlagBack(volatile uint8_t *flag) {
    CHECK_EQ(TryLoad(), (DWORD)ERROR_DLL_INIT_FAILED);
    // The refused process set the flag, found no device, and cleared it.
    CHECK_EQ(*flag, 0);
    CHECK_EQ(TryLoad(), (DWORD)ERROR_DLL_INIT_FAILED);
    CHECK_EQ(*flag, 0);
}

}  // namespace

int main(int argc, char **argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "child-try") return ChildTry();
    if (mode == "child-hold") return ChildHold();
    if (mode == "child-race") return ChildRace();
    if (mode == "hold-for" && argc > 2) return HoldFor(argv[2]);

    HMODULE image = LoadLibraryExA("d418lib.dll", nullptr, DONT_RESOLVE_DLL_REFERENCES);
    CHECK_TRUE(image != nullptr);
    volatile uint8_t *flag = image ? FindFlag(image) : nullptr;
    CHECK_TRUE(flag != nullptr);
    if (!flag) return check::Summary();
    CHECK_EQ(*flag, 0);

    if (mode == "no-driver") {
        NoDriverRefusesAndGivesTheFlagBack(flag);
    } else {
        SimCtlReset();
        HoldRefuseRelease(flag);
        LoadsAtTheSameInstant(flag);
    }
    FreeLibrary(image);
    return check::Summary();
}
