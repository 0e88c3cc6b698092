// d418inst's commands against the stand-in machine (sim/inst_system_sim.h):
// the whole output and exit status of every path, failures included, and
// what each command leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "inst_main.h"
#include "inst_system_sim.h"

namespace {

using siminst::M;

const char kSys[] = "C:\\WINNT\\system32\\drivers\\d418.sys";
const char kBeside[] = "C:\\SDK\\bin\\d418.sys";
const char kSdk[] = "C:\\SDK\\bin\\..\\driver\\d418.sys";
const char kParams[] = "SYSTEM\\CurrentControlSet\\Services\\d418\\Parameters";

struct InstRun {
    int status;
    std::string out;
    std::string err;
};

InstRun RunInst(std::vector<std::string> args) {
    args.insert(args.begin(), "d418inst");
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = InstMain((int)args.size(), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

// The driver file beside the program.
void Fresh() { M().files[kBeside] = "driver image"; }

// Installed as `install` leaves it: the service (running or not), the
// copied file, IoBase and, if given, AllowedGroup.
void Installed(bool running, uint32_t base = 0x300, const char *group = nullptr) {
    Fresh();
    siminst::Service service;
    service.image_path = INST_IMAGE_PATH;
    service.display_name = INST_DISPLAY_NAME;
    service.state = running ? INST_SERVICE_RUNNING : INST_SERVICE_STOPPED;
    M().service = service;
    M().files[kSys] = "driver image";
    M().keys[kParams]["IoBase"] = {INST_REG_DWORD, siminst::DwordData(base)};
    if (group) M().keys[kParams]["AllowedGroup"] = {INST_REG_SZ, siminst::StringData(group)};
}

void Running() { Installed(true); }
void Stopped() { Installed(false); }

class Inst : public ::testing::Test {
protected:
    void SetUp() override { siminst::Reset(); }
    // Every handle d418inst opens, it closes.
    void TearDown() override { EXPECT_TRUE(M().open_handles.empty()); }
};

// ---- One table for every path: setup, command line, failing call ---------

struct Case {
    const char *name;
    std::function<void()> setup;
    std::vector<std::string> args;
    const char *fail_call;  // nullptr: none
    uint32_t fail_error;
    int fail_nth;
    std::string out;
    std::string err;
    int status;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class Paths : public Inst, public ::testing::WithParamInterface<Case> {};

TEST_P(Paths, WholeOutputAndStatus) {
    const Case &c = GetParam();
    c.setup();
    if (c.fail_call) M().failures[c.fail_call] = {c.fail_nth, c.fail_error};
    InstRun run = RunInst(c.args);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.status, c.status);
}

std::string CaseName(const ::testing::TestParamInfo<Case> &info) { return info.param.name; }

const std::string kFile = std::string("Driver file: ") + kBeside + "\n";
const std::string kCopied = std::string("Copied to ") + kSys + "\n";
const std::string kCreated = "Service d418 created: kernel driver, start auto\n";
const std::string kUpdated = "Service d418 updated: kernel driver, start auto\n";
const std::string kParams300 = "Parameters: IoBase 0x300, no AllowedGroup\n";
const std::string kAdmin = " d418inst must run as an administrator.\n";
const std::string kStillOpen =
    "d418inst: the driver has not stopped within 10 seconds: a program may still have the "
    "board open (d418inst status tells).\n";
const std::string kRefusedSettings =
    " The driver refused its settings: the base is outside 100-3FC or a parameter is "
    "malformed.\n";
const std::string kPortsHeld =
    " The driver found its ports held by another device: choose another base with -b.\n";
const std::string kMarked =
    " The service is marked for deletion: close the programs that have it open, or restart, "
    "then install again.\n";
const std::string kFirstSteps = kFile + kCopied + kCreated + kParams300;

INSTANTIATE_TEST_SUITE_P(
    Install, Paths,
    ::testing::Values(
        Case{"fresh", Fresh, {"install"}, nullptr, 0, 0, kFirstSteps + "Driver started\n", "", 0},
        Case{"sdk_layout", [] { M().files[kSdk] = "image"; }, {"install"}, nullptr, 0, 0,
             std::string("Driver file: ") + kSdk + "\n" + kCopied + kCreated + kParams300 +
                 "Driver started\n",
             "", 0},
        Case{"given_file", [] { M().files["D:\\x\\d418test.sys"] = "test image"; },
             {"install", "-b", "280", "-m", "demand", "D:\\x\\d418test.sys"}, nullptr, 0, 0,
             "Driver file: D:\\x\\d418test.sys\n" + kCopied +
                 "Service d418 created: kernel driver, start demand\n"
                 "Parameters: IoBase 0x280, no AllowedGroup\nDriver started\n",
             "", 0},
        Case{"group", Fresh, {"install", "-g", "Board Users"}, nullptr, 0, 0,
             kFile + kCopied + kCreated +
                 "Parameters: IoBase 0x300, AllowedGroup "
                 "S-1-5-21-1004336348-1177238915-682003330-1121 (Board Users)\nDriver started\n",
             "", 0},
        // Over a running driver: stopped first, updated, started again.
        Case{"over_running", Running, {"install"}, nullptr, 0, 0,
             kFile + "Stopped the running driver\n" + kCopied + kUpdated + kParams300 +
                 "Driver started\n",
             "", 0},
        Case{"over_stopped", Stopped, {"install"}, nullptr, 0, 0,
             kFile + kCopied + kUpdated + kParams300 + "Driver started\n", "", 0},
        Case{"already_in_place", Stopped, {"install", kSys}, nullptr, 0, 0,
             std::string("Driver file: ") + kSys + "\nDriver file already in place: " + kSys +
                 "\n" + kUpdated + kParams300 + "Driver started\n",
             "", 0},
        Case{"stop_takes_a_while", [] { Running(); M().stop_polls = 5; }, {"install"}, nullptr, 0,
             0,
             kFile + "Stopped the running driver\n" + kCopied + kUpdated + kParams300 +
                 "Driver started\n",
             "", 0},

        // Bad input: one line on stderr, status 3.
        Case{"unknown_group", Fresh, {"install", "-g", "Nobody"}, nullptr, 0, 0, "",
             "d418inst: unknown group \"Nobody\"\n", 3},
        Case{"user_not_group", Fresh, {"install", "-g", "alice"}, nullptr, 0, 0, "",
             "d418inst: not a group \"alice\"\n", 3},
        Case{"no_given_file", Fresh, {"install", "D:\\missing.sys"}, nullptr, 0, 0, "",
             "d418inst: no driver file \"D:\\missing.sys\"\n", 3},
        Case{"no_default_file", [] {}, {"install"}, nullptr, 0, 0, "",
             std::string("d418inst: no driver file \"") + kBeside + "\" nor \"" + kSdk + "\"\n",
             3},
        Case{"bad_base", Fresh, {"install", "-b", "FF"}, nullptr, 0, 0, "",
             "d418inst: base address outside 100-3FC \"FF\"\n", 3},

        // A system call fails: its name and error; 5 says who may run it.
        Case{"load_advapi", Fresh, {"install"}, "LoadLibraryA", 126, 0, "",
             "d418inst: LoadLibraryA failed, error 126.\n", 1},
        Case{"bind_advapi", Fresh, {"install"}, "GetProcAddress", 127, 0, "",
             "d418inst: GetProcAddress(ChangeServiceConfigA) failed, error 127.\n", 1},
        Case{"lookup_group", Fresh, {"install", "-g", "Users"}, "LookupAccountNameA", 1789, 0,
             "", "d418inst: LookupAccountNameA failed, error 1789.\n", 1},
        Case{"program_path", Fresh, {"install"}, "GetModuleFileNameA", 122, 0, "",
             "d418inst: GetModuleFileNameA failed, error 122.\n", 1},
        Case{"system_folder", Fresh, {"install"}, "GetSystemDirectoryA", 8, 0, "",
             "d418inst: GetSystemDirectoryA failed, error 8.\n", 1},
        Case{"not_administrator", Fresh, {"install"}, "OpenSCManagerA", 5, 0, "",
             "d418inst: OpenSCManagerA failed, error 5." + kAdmin, 1},
        Case{"open_service", Fresh, {"install"}, "OpenServiceA", 6, 0, kFile,
             "d418inst: OpenServiceA failed, error 6.\n", 1},
        Case{"query_status", Running, {"install"}, "QueryServiceStatus", 6, 0, kFile,
             "d418inst: QueryServiceStatus failed, error 6.\n", 1},
        Case{"stop", Running, {"install"}, "ControlService", 1051, 0, kFile,
             "d418inst: ControlService failed, error 1051.\n", 1},
        Case{"stop_never_ends", [] { Running(); M().stop_polls = -1; }, {"install"}, nullptr, 0,
             0, kFile, kStillOpen, 1},
        Case{"copy", Fresh, {"install"}, "CopyFileA", 32, 0, kFile,
             "d418inst: CopyFileA failed, error 32.\n", 1},
        Case{"create_service", Fresh, {"install"}, "CreateServiceA", 5, 0, kFile + kCopied,
             "d418inst: CreateServiceA failed, error 5." + kAdmin, 1},
        Case{"marked_for_deletion", Stopped, {"install"}, "ChangeServiceConfigA", 1072, 0,
             kFile + kCopied, "d418inst: ChangeServiceConfigA failed, error 1072." + kMarked, 1},
        // 87 from a service call is no refusal of the driver's.
        Case{"change_config_87", Stopped, {"install"}, "ChangeServiceConfigA", 87, 0,
             kFile + kCopied, "d418inst: ChangeServiceConfigA failed, error 87.\n", 1},
        Case{"create_marked", [] {
                 Fresh();
                 siminst::Service marked;
                 marked.marked_for_delete = true;
                 M().service = marked;
                 M().failures["OpenServiceA"] = {0, INST_ERROR_SERVICE_DOES_NOT_EXIST};
             },
             {"install"}, nullptr, 0, 0, kFile + kCopied,
             "d418inst: CreateServiceA failed, error 1072." + kMarked, 1},
        Case{"parameters_key", Fresh, {"install"}, "RegCreateKeyExA", 5, 0,
             kFile + kCopied + kCreated, "d418inst: RegCreateKeyExA failed, error 5." + kAdmin,
             1},
        Case{"io_base_value", Fresh, {"install"}, "RegSetValueExA", 1018, 0,
             kFile + kCopied + kCreated, "d418inst: RegSetValueExA failed, error 1018.\n", 1},
        Case{"group_value", Fresh, {"install", "-g", "Users"}, "RegSetValueExA", 1018, 2,
             kFile + kCopied + kCreated, "d418inst: RegSetValueExA failed, error 1018.\n", 1},
        Case{"old_group_value", Stopped, {"install"}, "RegDeleteValueA", 5, 0,
             kFile + kCopied + kUpdated, "d418inst: RegDeleteValueA failed, error 5." + kAdmin,
             1},

        // The driver refuses to start: the reason, where it is the driver's own.
        Case{"start_refused_settings_wine", [] { Fresh(); M().start_error = 87; }, {"install"},
             nullptr, 0, 0, kFirstSteps, "d418inst: StartServiceA failed, error 87." +
             kRefusedSettings, 1},
        Case{"start_refused_settings", [] { Fresh(); M().start_error = 1610; }, {"install"},
             nullptr, 0, 0, kFirstSteps, "d418inst: StartServiceA failed, error 1610." +
             kRefusedSettings, 1},
        Case{"start_ports_held", [] { Fresh(); M().start_error = 487; }, {"install"}, nullptr,
             0, 0, kFirstSteps, "d418inst: StartServiceA failed, error 487." + kPortsHeld, 1},
        Case{"start_other", [] { Fresh(); M().start_error = 31; }, {"install"}, nullptr, 0, 0,
             kFirstSteps, "d418inst: StartServiceA failed, error 31.\n", 1}),
    CaseName);

const std::string kDeleted = std::string("Deleted ") + kSys + "\n";
const std::string kMarkedLine =
    "Service d418 is marked for deletion: another program still has it open. It goes once "
    "that program closes it, at the latest at the next restart.\n";

INSTANTIATE_TEST_SUITE_P(
    Remove, Paths,
    ::testing::Values(
        Case{"running", Running, {"remove"}, nullptr, 0, 0,
             "Stopped the driver\nParameters deleted\nService d418 deleted\n" + kDeleted, "", 0},
        Case{"stopped", Stopped, {"remove"}, nullptr, 0, 0,
             "Parameters deleted\nService d418 deleted\n" + kDeleted, "", 0},
        Case{"not_installed", [] {}, {"remove"}, nullptr, 0, 0,
             std::string("Service d418 is not installed\nNo driver file at ") + kSys + "\n", "",
             0},
        Case{"leftovers", [] {
                 M().files[kSys] = "old";
                 M().keys[kParams]["IoBase"] = {INST_REG_DWORD, siminst::DwordData(0x300)};
             },
             {"remove"}, nullptr, 0, 0,
             "Service d418 is not installed\nParameters deleted\n" + kDeleted, "", 0},
        Case{"handle_still_open", [] { Running(); M().other_service_handles = 1; }, {"remove"},
             nullptr, 0, 0, "Stopped the driver\nParameters deleted\n" + kMarkedLine + kDeleted,
             "", 0},
        Case{"stop_never_ends", [] { Running(); M().stop_polls = -1; }, {"remove"}, nullptr, 0,
             0, "Parameters deleted\n" + kMarkedLine, kStillOpen, 1},
        Case{"not_administrator", Running, {"remove"}, "OpenSCManagerA", 5, 0, "",
             "d418inst: OpenSCManagerA failed, error 5." + kAdmin, 1},
        Case{"open_service", Running, {"remove"}, "OpenServiceA", 6, 1, "",
             "d418inst: OpenServiceA failed, error 6.\n", 1},
        Case{"stop", Running, {"remove"}, "ControlService", 1051, 0, "",
             "d418inst: ControlService failed, error 1051.\n", 1},
        Case{"parameters", Running, {"remove"}, "RegDeleteKeyA", 5, 0, "Stopped the driver\n",
             "d418inst: RegDeleteKeyA failed, error 5." + kAdmin, 1},
        Case{"delete_service", Running, {"remove"}, "DeleteService", 5, 0,
             "Stopped the driver\nParameters deleted\n",
             "d418inst: DeleteService failed, error 5." + kAdmin, 1},
        Case{"reopen", Running, {"remove"}, "OpenServiceA", 6, 2,
             "Stopped the driver\nParameters deleted\n",
             "d418inst: OpenServiceA failed, error 6.\n", 1},
        Case{"delete_file", Running, {"remove"}, "DeleteFileA", 32, 0,
             "Stopped the driver\nParameters deleted\nService d418 deleted\n",
             "d418inst: DeleteFileA failed, error 32.\n", 1}),
    CaseName);

const std::string kInstalledAuto = "Service d418: installed\nStart type: auto\n";
const std::string kFree = "Device \\\\.\\D418: opens, free for this account\n";
const std::string kNotRunning = "Device \\\\.\\D418: refused, the driver is not running\n";

INSTANTIATE_TEST_SUITE_P(
    Status, Paths,
    ::testing::Values(
        Case{"running_free", Running, {"status"}, nullptr, 0, 0,
             kInstalledAuto + "Running: yes\nBase: 0x300\nAllowed group: none\n" + kFree, "", 0},
        Case{"held", [] { Running(); M().probe_error = 32; }, {"status"}, nullptr, 0, 0,
             kInstalledAuto + "Running: yes\nBase: 0x300\nAllowed group: none\n"
                              "Device \\\\.\\D418: refused, held by another program\n",
             "", 0},
        Case{"held_at_open", [] { Running(); M().device_open_error = 32; }, {"status"}, nullptr,
             0, 0,
             kInstalledAuto + "Running: yes\nBase: 0x300\nAllowed group: none\n"
                              "Device \\\\.\\D418: refused, held by another program\n",
             "", 0},
        Case{"not_allowed", [] { Installed(true, 0x280, "S-1-5-32-545"); M().probe_error = 5; },
             {"status"}, nullptr, 0, 0,
             kInstalledAuto + "Running: yes\nBase: 0x280\nAllowed group: S-1-5-32-545\n"
                              "Device \\\\.\\D418: refused, not allowed for this account\n",
             "", 0},
        Case{"not_allowed_at_open", [] { Running(); M().device_open_error = 5; }, {"status"},
             nullptr, 0, 0,
             kInstalledAuto + "Running: yes\nBase: 0x300\nAllowed group: none\n"
                              "Device \\\\.\\D418: refused, not allowed for this account\n",
             "", 0},
        Case{"other_code", [] { Running(); M().probe_error = 31; }, {"status"}, nullptr, 0, 0,
             kInstalledAuto + "Running: yes\nBase: 0x300\nAllowed group: none\n"
                              "Device \\\\.\\D418: refused, error 31\n",
             "", 0},
        Case{"stopped_demand", [] { Stopped(); M().service->start_type = INST_START_DEMAND; },
             {"status"}, nullptr, 0, 0,
             "Service d418: installed\nStart type: demand\nRunning: no\nBase: 0x300\n"
             "Allowed group: none\n" + kNotRunning,
             "", 0},
        Case{"not_installed", [] {}, {"status"}, nullptr, 0, 0,
             "Service d418: not installed\n" + kNotRunning, "", 0},
        Case{"no_parameters", [] { Running(); M().keys.clear(); }, {"status"}, nullptr, 0, 0,
             kInstalledAuto + "Running: yes\nBase: 0x300 (not set: the driver's default)\n"
                              "Allowed group: none\n" + kFree,
             "", 0},
        Case{"base_out_of_range", [] { Installed(false, 0x50); }, {"status"}, nullptr, 0, 0,
             kInstalledAuto + "Running: no\nBase: 0x50, outside 100-3FC (the driver will not "
                              "start)\nAllowed group: none\n" + kNotRunning,
             "", 0},
        Case{"malformed_values", [] {
                 Stopped();
                 M().keys[kParams]["IoBase"] = {INST_REG_SZ, siminst::StringData("300")};
                 M().keys[kParams]["AllowedGroup"] = {INST_REG_DWORD, siminst::DwordData(545)};
             },
             {"status"}, nullptr, 0, 0,
             kInstalledAuto + "Running: no\nBase: not a REG_DWORD (the driver will not start)\n"
                              "Allowed group: not a REG_SZ (the driver will not start)\n" +
                 kNotRunning,
             "", 0},
        Case{"group_too_long",
             [] { Installed(true, 0x300, std::string(250, '1').c_str()); }, {"status"},
             nullptr, 0, 0,
             kInstalledAuto + "Running: yes\nBase: 0x300\nAllowed group: too long for a SID "
                              "(the driver will not start)\n" + kFree,
             "", 0},
        Case{"manager", Running, {"status"}, "OpenSCManagerA", 1115, 0, "",
             "d418inst: OpenSCManagerA failed, error 1115.\n", 1},
        Case{"service", Running, {"status"}, "OpenServiceA", 5, 0, "",
             "d418inst: OpenServiceA failed, error 5." + kAdmin, 1},
        Case{"config", Running, {"status"}, "QueryServiceConfigA", 122, 0, "",
             "d418inst: QueryServiceConfigA failed, error 122.\n", 1},
        Case{"state", Running, {"status"}, "QueryServiceStatus", 6, 0, "",
             "d418inst: QueryServiceStatus failed, error 6.\n", 1},
        Case{"parameters", Running, {"status"}, "RegOpenKeyExA", 1018, 0, "",
             "d418inst: RegOpenKeyExA failed, error 1018.\n", 1}),
    CaseName);

// ---- What the commands leave behind --------------------------------------

TEST_F(Inst, InstallLeavesWhatTheInfLeaves) {
    Fresh();
    ASSERT_EQ(RunInst({"install"}).status, 0);
    ASSERT_TRUE(M().service.has_value());
    EXPECT_EQ(M().service->start_type, (uint32_t)INST_START_AUTO);
    EXPECT_EQ(M().service->image_path, "\\SystemRoot\\System32\\drivers\\d418.sys");
    EXPECT_EQ(M().service->display_name, "D418 board driver");
    EXPECT_EQ(M().service->state, (uint32_t)INST_SERVICE_RUNNING);
    EXPECT_EQ(M().files[kSys], "driver image");
    ASSERT_EQ(M().keys[kParams].size(), 1u);
    EXPECT_EQ(M().keys[kParams]["IoBase"].type, (uint32_t)INST_REG_DWORD);
    EXPECT_EQ(M().keys[kParams]["IoBase"].data, siminst::DwordData(0x300));
}

TEST_F(Inst, GroupWrittenAsTextThenRemovedByAnInstallWithout) {
    Fresh();
    ASSERT_EQ(RunInst({"install", "-b", "280", "-g", "Users", "-m", "demand"}).status, 0);
    EXPECT_EQ(M().service->start_type, (uint32_t)INST_START_DEMAND);
    EXPECT_EQ(M().keys[kParams]["IoBase"].data, siminst::DwordData(0x280));
    EXPECT_EQ(M().keys[kParams]["AllowedGroup"].type, (uint32_t)INST_REG_SZ);
    EXPECT_EQ(M().keys[kParams]["AllowedGroup"].data, siminst::StringData("S-1-5-32-545"));

    ASSERT_EQ(RunInst({"install"}).status, 0);
    EXPECT_EQ(M().service->start_type, (uint32_t)INST_START_AUTO);
    EXPECT_EQ(M().keys[kParams].count("AllowedGroup"), 0u);
    EXPECT_EQ(M().keys[kParams]["IoBase"].data, siminst::DwordData(0x300));
}

TEST_F(Inst, BadInputChangesNothing) {
    const std::vector<std::vector<std::string>> inputs = {
        {"install", "-g", "Nobody"}, {"install", "-g", "alice"}, {"install", "D:\\none.sys"},
        {"install", "-b", "400"},    {"install", "-x"},          {"uninstall"}};
    for (const auto &args : inputs) {
        siminst::Reset();
        Installed(true, 0x280, "S-1-5-32-545");
        auto before = M().keys;
        auto files = M().files;
        InstRun run = RunInst(args);
        EXPECT_EQ(run.status, 3) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
        EXPECT_FALSE(siminst::Called("OpenSCManagerA")) << args.back();
        EXPECT_EQ(M().service->state, (uint32_t)INST_SERVICE_RUNNING);
        EXPECT_EQ(M().files, files);
        EXPECT_EQ(M().keys.size(), before.size());
        EXPECT_EQ(M().keys[kParams].size(), 2u);
    }
}

TEST_F(Inst, FailedStartLeavesTheServiceInstalled) {
    Fresh();
    M().start_error = 487;
    ASSERT_EQ(RunInst({"install", "-b", "280"}).status, 1);
    ASSERT_TRUE(M().service.has_value());
    EXPECT_EQ(M().service->state, (uint32_t)INST_SERVICE_STOPPED);
    EXPECT_EQ(M().keys[kParams]["IoBase"].data, siminst::DwordData(0x280));
}

TEST_F(Inst, RemoveLeavesNothing) {
    Installed(true, 0x280, "S-1-5-32-545");
    ASSERT_EQ(RunInst({"remove"}).status, 0);
    EXPECT_FALSE(M().service.has_value());
    EXPECT_TRUE(M().keys.empty());
    EXPECT_EQ(M().files.count(kSys), 0u);
    EXPECT_EQ(M().files.count(kBeside), 1u);  // the SDK's own copy stays
}

TEST_F(Inst, RemoveWithAHandleOpenMarksTheServiceForDeletion) {
    Running();
    M().other_service_handles = 1;
    ASSERT_EQ(RunInst({"remove"}).status, 0);
    ASSERT_TRUE(M().service.has_value());
    EXPECT_TRUE(M().service->marked_for_delete);
    // A later install says why it cannot create the service again.
    InstRun run = RunInst({"install"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "d418inst: ChangeServiceConfigA failed, error 1072." + kMarked);
}

TEST_F(Inst, StatusProbesWithTheUnusedCodeAndClosesAtOnce) {
    Running();
    ASSERT_EQ(RunInst({"status"}).status, 0);
    std::vector<std::string> device;
    for (const std::string &call : M().calls)
        if (call == "CreateFileA" || call == "DeviceIoControl" || call == "CloseHandle")
            device.push_back(call);
    EXPECT_EQ(device, (std::vector<std::string>{"CreateFileA", "DeviceIoControl", "CloseHandle"}));
}

TEST_F(Inst, StopWaitsTenSecondsAtMost) {
    Running();
    M().stop_polls = -1;
    EXPECT_EQ(RunInst({"install"}).status, 1);
    EXPECT_EQ(M().slept_ms, 10000u);
}

// ---- Windows 95, 98 and Me ------------------------------------------------

TEST_F(Inst, NoDriverOnWindows9x) {
    const char line[] =
        "Windows 95, 98 and Me reach the D418 board directly and need no driver: nothing to "
        "do.\n";
    for (const char *command : {"install", "remove", "status"}) {
        siminst::Reset();
        M().nt = false;
        InstRun run = RunInst({command});
        EXPECT_EQ(run.out, line) << command;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);
        EXPECT_FALSE(M().advapi_bound);
        EXPECT_FALSE(siminst::Called("LoadLibraryA"));
    }
}

TEST_F(Inst, UsageWithoutCommand) {
    InstRun run = RunInst({});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "usage: d418inst install [-b BASE] [-g GROUP] [-m auto|demand] [DRIVER]\n"
              "       d418inst remove\n"
              "       d418inst status\n");
    EXPECT_TRUE(M().calls.empty());
}

}  // namespace
