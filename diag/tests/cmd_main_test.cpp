// d418cmd's course and output against the simulated library: one line per
// call, the reply's payload as a hex dump, where a run stops, and its exit
// status.
#include <algorithm>

#include "cmd_test.h"

namespace {

const char kInit[] = "D418Init base=0x300 result=0\n";

struct OutputCase {
    const char *name;
    std::vector<std::string> args;
    int32_t reset;
    int32_t send_command;
    int32_t read_response;
    std::vector<uint8_t> reply;
    uint32_t last_error;  // as the scripted call leaves it
    std::string out;      // after the D418Init line
    int status;
};

class Output : public DiagTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(Output, OneLinePerCallThenThePayload) {
    const OutputCase &c = GetParam();
    simload::ScriptD418();
    simload::Answer().reset = c.reset;
    simload::Answer().send_command = c.send_command;
    simload::Answer().read_response = c.read_response;
    simload::Answer().reply = c.reply;
    simload::SetLastError(c.last_error);
    CmdRun run = RunCmd(c.args);
    EXPECT_EQ(run.out, kInit + c.out);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, c.status);
}

std::vector<uint8_t> Counting(int n) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < n; i++) bytes.push_back((uint8_t)(i * 7));
    return bytes;
}

const std::vector<std::string> kSend = {"send", "304", "102", "AA", "BB"};
const char kSendLine[] = "D418SendCommand w2=0x0304 w1=0x0102 length=2 result=0\n";

INSTANTIATE_TEST_SUITE_P(
    Results, Output,
    ::testing::Values(
        OutputCase{"reset", {"reset"}, 0, 0, 0, {}, 0, "D418Reset result=0\n", 0},
        OutputCase{"reset_system_error", {"reset"}, 1, 0, 0, {}, 21,
                   "D418Reset result=1: Operating System Error: 21\n", 1},
        OutputCase{"reset_short", {"reset"}, 2, 0, 0, {}, 0,
                   "D418Reset result=2: Orvalink Error: Less data received\n", 1},
        OutputCase{"reset_not_found", {"reset"}, 4, 0, 0, {}, 0,
                   "D418Reset result=4: Orvalink Error: D418 not found\n", 1},
        // 5 and above are status words: shown as numbers only.
        OutputCase{"reset_status_five", {"reset"}, 5, 0, 0, {}, 0, "D418Reset result=5\n", 2},
        OutputCase{"reset_status_word", {"reset"}, 261, 0, 0, {}, 0, "D418Reset result=261\n", 2},
        OutputCase{"reply_without_payload", kSend, 0, 0, 0, {}, 0,
                   std::string(kSendLine) + "D418ReadResponse result=0 count=0\n", 0},
        OutputCase{"reply_of_three", kSend, 0, 0, 0, {0xAA, 0xBB, 0x0C}, 0,
                   std::string(kSendLine) + "D418ReadResponse result=0 count=3\n"
                                            "  0000  AA BB 0C\n", 0},
        OutputCase{"reply_of_sixteen", kSend, 0, 0, 0, Counting(16), 0,
                   std::string(kSendLine) +
                       "D418ReadResponse result=0 count=16\n"
                       "  0000  00 07 0E 15 1C 23 2A 31 38 3F 46 4D 54 5B 62 69\n", 0},
        OutputCase{"reply_of_thirty_three", kSend, 0, 0, 0, Counting(33), 0,
                   std::string(kSendLine) +
                       "D418ReadResponse result=0 count=33\n"
                       "  0000  00 07 0E 15 1C 23 2A 31 38 3F 46 4D 54 5B 62 69\n"
                       "  0010  70 77 7E 85 8C 93 9A A1 A8 AF B6 BD C4 CB D2 D9\n"
                       "  0020  E0\n", 0},
        OutputCase{"reply_status_word", kSend, 0, 0, 0x8001, {0x01}, 0,
                   std::string(kSendLine) + "D418ReadResponse result=32769 count=1\n"
                                            "  0000  01\n", 2},
        // 1 to 4 get their texts, whichever of code or status word they are.
        OutputCase{"reply_status_word_four", kSend, 0, 0, 4, {0x01}, 0,
                   std::string(kSendLine) +
                       "D418ReadResponse result=4 count=1: Orvalink Error: D418 not found\n"
                       "  0000  01\n", 1},
        OutputCase{"reply_timeout", kSend, 0, 0, 3, {}, 0,
                   std::string(kSendLine) +
                       "D418ReadResponse result=3 count=0: Orvalink Error: Timeout expired\n", 1},
        OutputCase{"reply_short", kSend, 0, 0, 2, {}, 0,
                   std::string(kSendLine) +
                       "D418ReadResponse result=2 count=0: Orvalink Error: Less data received\n",
                   1},
        // After 1 the count is not the library's: it is not shown.
        OutputCase{"reply_system_error", kSend, 0, 0, 1, {}, 121,
                   std::string(kSendLine) +
                       "D418ReadResponse result=1: Operating System Error: 121\n", 1},
        // A failed send is not followed by a read.
        OutputCase{"send_not_found", kSend, 0, 4, 0, {0xAA}, 0,
                   "D418SendCommand w2=0x0304 w1=0x0102 length=2 result=4: "
                   "Orvalink Error: D418 not found\n", 1},
        OutputCase{"send_status_word", kSend, 0, 0x1234, 0, {0xAA}, 0,
                   "D418SendCommand w2=0x0304 w1=0x0102 length=2 result=4660\n", 2},
        OutputCase{"send_nothing", {"send", "0", "FFFF"}, 0, 0, 0, {}, 0,
                   "D418SendCommand w2=0x0000 w1=0xFFFF length=0 result=0\n"
                   "D418ReadResponse result=0 count=0\n", 0},
        OutputCase{"timeout", {"timeout", "4294967295"}, 0, 0, 0, {}, 0,
                   "D418Timeout timeout=4294967295 result=0\n", 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Output, LargestReplyFillsTheLastLineToOffsetFF0) {
    simload::ScriptD418();
    simload::Answer().reply = Counting(4092);
    CmdRun run = RunCmd(kSend);
    EXPECT_EQ(run.status, 0);
    std::string tail = run.out.substr(run.out.rfind("\n  0FF0"));
    EXPECT_EQ(tail, "\n  0FF0  90 97 9E A5 AC B3 BA C1 C8 CF D6 DD\n");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3 + 256);
}

class Setup : public DiagTest {};

TEST_F(Setup, MissingLibraryEndsTheRunWithItsLoadError) {
    CmdRun run = RunCmd({"-k", "-t", "10", "reset"});
    EXPECT_EQ(run.out, "D418Init base=0x300 result=1: Operating System Error: 126\n");
    EXPECT_EQ(run.status, CMD_EXIT_LIBRARY);
    EXPECT_EQ(simload::Calls(), (Calls{"LoadLibraryA d418lib.dll", "GetLastError"}));
}

TEST_F(Setup, MissingExportEndsTheRun) {
    simload::ScriptD418().exports.erase("D418Timeout");
    CmdRun run = RunCmd({"-b", "280", "reset"});
    EXPECT_EQ(run.out, "D418Init base=0x280 result=1: Operating System Error: 127\n");
    EXPECT_EQ(run.status, CMD_EXIT_LIBRARY);
}

TEST_F(Setup, FailedTimeoutEndsTheRunEvenWithK) {
    simload::ScriptD418();
    simload::Answer().timeout = 1;
    simload::SetLastError(87);
    CmdRun run = RunCmd({"-k", "-t", "10", "reset"});
    EXPECT_EQ(run.out, std::string(kInit) +
                           "D418Timeout timeout=10 result=1: Operating System Error: 87\n");
    EXPECT_EQ(run.status, CMD_EXIT_LIBRARY);
    EXPECT_EQ(simload::Calls(),
              Then(BindCalls(), {"D418Init 0x00000300", "D418Timeout 0x0000000A", "GetLastError"}));
}

TEST_F(Setup, FailedInitEndsTheRun) {
    simload::ScriptD418();
    simload::Answer().init = 1;
    simload::SetLastError(121);
    CmdRun run = RunCmd({"-k", "reset"});
    EXPECT_EQ(run.out, "D418Init base=0x300 result=1: Operating System Error: 121\n");
    EXPECT_EQ(run.status, CMD_EXIT_LIBRARY);
}

// Scripts: the library loaded once, -t before the first step, where a run
// stops and what it ends with.
const std::string kScript =
    "# a technician's check\r\n"
    "\r\n"
    "reset\r\n"
    "send 304 102 AA BB   # ask\r\n"
    "TIMEOUT 25\r\n"
    "send 305 102\r\n"
    "reset";

struct ScriptCase {
    const char *name;
    std::vector<std::string> options;
    int32_t reset;
    int32_t read_response;
    Calls tail;  // after the five lookups and D418Init
    int status;
};

class Script : public DiagTest, public ::testing::WithParamInterface<ScriptCase> {};

const char kSend1[] = "D418SendCommand w2=0x304 w1=0x102 length=2 AA BB";
const char kSend2[] = "D418SendCommand w2=0x305 w1=0x102 length=0";
const char kRead[] = "D418ReadResponse buffer";
const char kTimeout[] = "D418Timeout 0x00000019";

TEST_P(Script, RunsStepsInOrderUntilTheFirstFailure) {
    const ScriptCase &c = GetParam();
    simload::ScriptD418();
    simload::Answer().reset = c.reset;
    simload::Answer().read_response = c.read_response;
    ScriptFile file(kScript);
    std::vector<std::string> args = c.options;
    args.push_back("-f");
    args.push_back(file.path());
    CmdRun run = RunCmd(args);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, c.status);
    Calls want = Then(BindCalls(), {"D418Init 0x00000300"});
    EXPECT_EQ(simload::Calls(), Then(want, c.tail));
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, Script,
    ::testing::Values(
        ScriptCase{"all_good", {}, 0, 0,
                   {"D418Reset", kSend1, kRead, kTimeout, kSend2, kRead, "D418Reset"}, 0},
        ScriptCase{"timeout_option_first", {"-t", "50"}, 0, 0,
                   {"D418Timeout 0x00000032", "D418Reset", kSend1, kRead, kTimeout, kSend2, kRead,
                    "D418Reset"}, 0},
        ScriptCase{"stops_at_library_failure", {}, 4, 0, {"D418Reset"}, 1},
        ScriptCase{"stops_at_status_word", {}, 0, 0x0101, {"D418Reset", kSend1, kRead}, 2},
        ScriptCase{"keeps_going_after_status_word", {"-k"}, 0, 0x0101,
                   {"D418Reset", kSend1, kRead, kTimeout, kSend2, kRead, "D418Reset"}, 2},
        // A library failure outweighs a status word, whichever came first.
        ScriptCase{"keeps_going_library_failure_wins", {"-k"}, 4, 0x0101,
                   {"D418Reset", kSend1, kRead, kTimeout, kSend2, kRead, "D418Reset"}, 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Script, OutputOfAWholeScript) {
    simload::ScriptD418();
    simload::Answer().reply = {0x10, 0x20};
    ScriptFile file(kScript);
    CmdRun run = RunCmd({"-f", file.path()});
    EXPECT_EQ(run.out, std::string(kInit) +
                           "D418Reset result=0\n"
                           "D418SendCommand w2=0x0304 w1=0x0102 length=2 result=0\n"
                           "D418ReadResponse result=0 count=2\n"
                           "  0000  10 20\n"
                           "D418Timeout timeout=25 result=0\n"
                           "D418SendCommand w2=0x0305 w1=0x0102 length=0 result=0\n"
                           "D418ReadResponse result=0 count=2\n"
                           "  0000  10 20\n"
                           "D418Reset result=0\n");
    EXPECT_EQ(run.status, 0);
}

TEST_F(Script, WithoutCommandsOnlyInitialises) {
    simload::ScriptD418();
    ScriptFile file("# nothing yet\n\n   \t\n");
    CmdRun run = RunCmd({"-f", file.path()});
    EXPECT_EQ(run.out, kInit);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(simload::Calls(), Then(BindCalls(), {"D418Init 0x00000300"}));
}

}  // namespace
