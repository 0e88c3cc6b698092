// The text for each result code.
#include <climits>
#include <cstring>

#include "diag_test.h"
#include "result_text.h"

namespace {

struct TextCase {
    const char *name;
    int32_t code;
    uint32_t last_error;
    const char *text;
};

class ResultTextTable : public DiagTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(ResultTextTable, WritesTheTextForTheCode) {
    const TextCase &c = GetParam();
    simload::SetLastError(c.last_error);
    const char *text = ResultText(c.code);
    EXPECT_STREQ(text, c.text);
    // Only the system error asks for the last error, once, while the text is made.
    EXPECT_EQ(simload::Calls(), c.code == 1 ? Calls{"GetLastError"} : Calls{});
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ResultTextTable,
    ::testing::Values(
        TextCase{"system_126", 1, 126, "Operating System Error: 126"},
        TextCase{"system_5", 1, 5, "Operating System Error: 5"},
        TextCase{"system_0", 1, 0, "Operating System Error: 0"},
        TextCase{"short", 2, 126, "Orvalink Error: Less data received"},
        TextCase{"timeout", 3, 126, "Orvalink Error: Timeout expired"},
        TextCase{"not_found", 4, 126, "Orvalink Error: D418 not found"},
        TextCase{"in_use", 5, 126, "Another instance of d418lib.dll already loaded"},
        TextCase{"zero", 0, 126, "Orvalink Error: 0"},
        TextCase{"six", 6, 126, "Orvalink Error: 6"},
        TextCase{"status_261", 261, 126, "Orvalink Error: 261"},
        TextCase{"status_65535", 65535, 126, "Orvalink Error: 65535"},
        TextCase{"minus_one", -1, 126, "Orvalink Error: -1"},
        TextCase{"int32_min", INT32_MIN, 126, "Orvalink Error: -2147483648"}),
    [](const auto &info) { return std::string(info.param.name); });

class ResultTextBuffer : public DiagTest {};

TEST_F(ResultTextBuffer, EveryCallOverwritesTheOneBuffer) {
    const char *first = ResultText(4);
    simload::SetLastError(87);
    const char *second = ResultText(1);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "Operating System Error: 87");
    simload::SetLastError(2);
    EXPECT_EQ(ResultText(1), first);
    EXPECT_STREQ(first, "Operating System Error: 2");  // read anew at each call
}

}  // namespace
