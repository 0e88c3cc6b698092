// Which command-line arguments are a base address, and which value each one
// gives.
#include "base_argument.h"
#include "diag_test.h"

namespace {

struct ArgumentCase {
    const char *name;
    const char *text;
    bool accepted;
    uint32_t value;
};

class ArgumentTable : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentTable, ConvertsOrRefuses) {
    const ArgumentCase &c = GetParam();
    uint32_t base = 0xA5A5A5A5;
    EXPECT_EQ(ParseBaseArgument(c.text, &base), c.accepted ? 1 : 0);
    EXPECT_EQ(base, c.accepted ? c.value : 0xA5A5A5A5u);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ArgumentTable,
    ::testing::Values(
        // What sscanf "%x" takes, with the value it gives.
        ArgumentCase{"plain", "300", true, 0x300},
        ArgumentCase{"prefix_lower", "0x300", true, 0x300},
        ArgumentCase{"prefix_upper", "0X300", true, 0x300},
        ArgumentCase{"trailing_h", "300h", true, 0x300},
        ArgumentCase{"letters", "1ff", true, 0x1FF},
        ArgumentCase{"upper_letters", "1FF", true, 0x1FF},
        ArgumentCase{"leading_space", " 300", true, 0x300},
        ArgumentCase{"leading_tab", "\t300", true, 0x300},
        ArgumentCase{"minus", "-300", true, 0xFFFFFD00},
        ArgumentCase{"minus_prefix", "-0x300", true, 0xFFFFFD00},
        ArgumentCase{"plus", "+300", true, 0x300},
        ArgumentCase{"zero", "0", true, 0},
        ArgumentCase{"prefixed_zero", "0x0", true, 0},
        ArgumentCase{"eight_digits", "FFFFFFFF", true, 0xFFFFFFFF},
        ArgumentCase{"eight_digits_prefixed", "0x12345678", true, 0x12345678},
        ArgumentCase{"minus_eight_digits", "-FFFFFFFF", true, 1},
        ArgumentCase{"leading_zeros_do_not_count", "00000000300", true, 0x300},
        ArgumentCase{"leading_zeros_then_eight", "0x0000012345678", true, 0x12345678},
        ArgumentCase{"stops_at_space", "300 400", true, 0x300},
        // No number: nothing to convert.
        ArgumentCase{"letters_only", "zz", false, 0},
        ArgumentCase{"empty", "", false, 0},
        ArgumentCase{"blank", "   ", false, 0},
        ArgumentCase{"minus_only", "-", false, 0},
        ArgumentCase{"plus_only", "+", false, 0},
        ArgumentCase{"two_signs", "+-300", false, 0},
        ArgumentCase{"space_after_sign", "- 300", false, 0},
        ArgumentCase{"x_without_zero", "x300", false, 0},
        // "0x" must be followed by a digit (sscanf alone would give 0).
        ArgumentCase{"prefix_only", "0x", false, 0},
        ArgumentCase{"prefix_only_upper", "0X", false, 0},
        ArgumentCase{"prefix_then_letter", "0xg", false, 0},
        ArgumentCase{"prefix_then_space", "0x 300", false, 0},
        ArgumentCase{"minus_prefix_only", "-0x", false, 0},
        // More than 8 significant digits (sscanf would wrap or saturate).
        ArgumentCase{"nine_digits", "123456789", false, 0},
        ArgumentCase{"two_to_the_32", "100000000", false, 0},
        ArgumentCase{"nine_digits_prefixed", "0x123456789", false, 0},
        ArgumentCase{"nine_digits_minus", "-123456789", false, 0},
        ArgumentCase{"nine_digits_after_zeros", "000123456789", false, 0}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
