// The program's course: what it prints, which status it ends with, and what
// it asked of the library.
#include "diag_main.h"
#include "diag_test.h"

namespace {

const std::string kUsage = DIAG_USAGE_LINE "\n";

struct CourseCase {
    const char *name;
    int32_t init;
    int32_t reset;
    uint32_t last_error;  // as the failing call leaves it
    const char *out;
    int status;
    Calls tail;  // the calls after the five lookups
};

class CourseTable : public DiagTest, public ::testing::WithParamInterface<CourseCase> {};

TEST_P(CourseTable, PrintsOneLineAndEnds) {
    const CourseCase &c = GetParam();
    simload::ScriptD418();
    simload::Answer().init = c.init;
    simload::Answer().reset = c.reset;
    simload::SetLastError(c.last_error);
    RunResult run = RunDiag({"300"});
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(simload::Calls(), Then(BindCalls(), c.tail));
}

INSTANTIATE_TEST_SUITE_P(
    Results, CourseTable,
    ::testing::Values(
        CourseCase{"installed", 0, 0, 0, " D418 board correctly installed\n", 0,
                   {"D418Init 0x00000300", "D418Reset"}},
        // A failed init ends the course: no reset.
        CourseCase{"init_system_error", 1, 0, 5, " D418Init failed: Operating System Error: 5\n", 1,
                   {"D418Init 0x00000300", "GetLastError"}},
        CourseCase{"init_timeout", 3, 0, 0, " D418Init failed: Orvalink Error: Timeout expired\n",
                   1, {"D418Init 0x00000300"}},
        CourseCase{"init_in_use", 5, 0, 0,
                   " D418Init failed: Another instance of d418lib.dll already loaded\n", 1,
                   {"D418Init 0x00000300"}},
        CourseCase{"init_status_word", 261, 0, 0, " D418Init failed: Orvalink Error: 261\n", 1,
                   {"D418Init 0x00000300"}},
        CourseCase{"reset_system_error", 0, 1, 31,
                   " D418Reset failed: Operating System Error: 31\n", 2,
                   {"D418Init 0x00000300", "D418Reset", "GetLastError"}},
        CourseCase{"reset_short", 0, 2, 0, " D418Reset failed: Orvalink Error: Less data received\n",
                   2, {"D418Init 0x00000300", "D418Reset"}},
        CourseCase{"reset_not_found", 0, 4, 0, " D418Reset failed: Orvalink Error: D418 not found\n",
                   2, {"D418Init 0x00000300", "D418Reset"}},
        CourseCase{"reset_status_word", 0, 261, 0, " D418Reset failed: Orvalink Error: 261\n", 2,
                   {"D418Init 0x00000300", "D418Reset"}},
        CourseCase{"reset_negative", 0, -1, 0, " D418Reset failed: Orvalink Error: -1\n", 2,
                   {"D418Init 0x00000300", "D418Reset"}}),
    [](const auto &info) { return std::string(info.param.name); });

class Course : public DiagTest {};

TEST_F(Course, NoLibraryReportsTheLoadError) {
    RunResult run = RunDiag({"300"});
    EXPECT_EQ(run.out, " D418Init failed: Operating System Error: 126\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(simload::Calls(), (Calls{"LoadLibraryA d418lib.dll", "GetLastError"}));
}

TEST_F(Course, MissingExportReportsTheLookupError) {
    simload::ScriptD418().exports.erase("D418Reset");
    RunResult run = RunDiag({"300"});
    EXPECT_EQ(run.out, " D418Init failed: Operating System Error: 127\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(simload::Calls(), Then(BindCalls(), {"FreeLibrary d418lib.dll", "GetLastError"}));
}

struct UsageCase {
    const char *name;
    std::vector<std::string> args;
    int status;
};

class UsageTable : public DiagTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageTable, PrintsUsageAndLoadsNothing) {
    const UsageCase &c = GetParam();
    simload::ScriptD418();
    RunResult run = RunDiag(c.args);
    EXPECT_EQ(run.out, kUsage);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(simload::Calls(), Calls{});
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageTable,
    ::testing::Values(UsageCase{"none", {}, 0}, UsageCase{"two", {"300", "300"}, 0},
                      UsageCase{"three", {"a", "b", "c"}, 0}, UsageCase{"letters", {"zz"}, 3},
                      UsageCase{"empty", {""}, 3}, UsageCase{"prefix_only", {"0x"}, 3},
                      UsageCase{"prefix_then_letter", {"0xg"}, 3},
                      UsageCase{"minus_only", {"-"}, 3},
                      UsageCase{"too_large", {"123456789"}, 3}),
    [](const auto &info) { return std::string(info.param.name); });

struct BaseCase {
    const char *name;
    const char *arg;
    const char *init_line;
};

class BaseTable : public DiagTest, public ::testing::WithParamInterface<BaseCase> {};

TEST_P(BaseTable, ArgumentReachesInit) {
    simload::ScriptD418();
    RunResult run = RunDiag({GetParam().arg});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(simload::Calls(), Then(BindCalls(), {GetParam().init_line, "D418Reset"}));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BaseTable,
    ::testing::Values(BaseCase{"plain", "300", "D418Init 0x00000300"},
                      BaseCase{"prefix_upper", "0X300", "D418Init 0x00000300"},
                      BaseCase{"trailing_h", "300h", "D418Init 0x00000300"},
                      BaseCase{"letters", "1ff", "D418Init 0x000001FF"},
                      BaseCase{"minus", "-300", "D418Init 0xFFFFFD00"},
                      BaseCase{"all_bits", "FFFFFFFF", "D418Init 0xFFFFFFFF"}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
