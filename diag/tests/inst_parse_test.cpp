// d418inst's command line and the SID text it writes for the driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inst_parse.h"
#include "inst_system.h"

namespace {

struct ParseCase {
    const char *name;
    std::vector<std::string> args;  // after the program name
    InstCommand command;
    uint32_t base;
    const char *group;
    uint32_t start_type;
    const char *driver;
};

class Accepted : public ::testing::TestWithParam<ParseCase> {};

bool Parse(std::vector<std::string> args, InstOptions *options, InstError *error) {
    static std::vector<std::string> kept;
    kept = args;
    kept.insert(kept.begin(), "d418inst");
    static std::vector<char *> argv;
    argv.clear();
    for (std::string &arg : kept) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return InstParse((int)kept.size(), argv.data(), options, error) != 0;
}

TEST_P(Accepted, Options) {
    const ParseCase &c = GetParam();
    InstOptions options;
    InstError error{};
    ASSERT_TRUE(Parse(c.args, &options, &error)) << error.what;
    EXPECT_EQ(options.command, c.command);
    EXPECT_EQ(options.base, c.base);
    EXPECT_STREQ(options.group, c.group);
    EXPECT_EQ(options.start_type, c.start_type);
    EXPECT_STREQ(options.driver, c.driver);
}

const uint32_t A = INST_START_AUTO, D = INST_START_DEMAND;

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Accepted,
    ::testing::Values(
        ParseCase{"install", {"install"}, INST_INSTALL, 0x300, nullptr, A, nullptr},
        ParseCase{"install_all", {"install", "-b", "280", "-g", "Board Users", "-m", "demand",
                                  "x\\d418.sys"},
                  INST_INSTALL, 0x280, "Board Users", D, "x\\d418.sys"},
        ParseCase{"driver_first", {"install", "d.sys", "-m", "auto", "-b", "0x3FC"},
                  INST_INSTALL, 0x3FC, nullptr, A, "d.sys"},
        // The base is read as d418diag reads it: "300h" stops at the h.
        ParseCase{"base_as_d418diag", {"install", "-b", "100h"}, INST_INSTALL, 0x100, nullptr, A,
                  nullptr},
        ParseCase{"last_option_wins", {"install", "-b", "280", "-b", "300"}, INST_INSTALL, 0x300,
                  nullptr, A, nullptr},
        ParseCase{"remove", {"remove"}, INST_REMOVE, 0x300, nullptr, A, nullptr},
        ParseCase{"status", {"status"}, INST_STATUS, 0x300, nullptr, A, nullptr}),
    [](const ::testing::TestParamInfo<ParseCase> &info) { return std::string(info.param.name); });

struct BadCase {
    const char *name;
    std::vector<std::string> args;
    const char *what;
    const char *token;  // nullptr: none
};

class Refused : public ::testing::TestWithParam<BadCase> {};

TEST_P(Refused, NamesTheToken) {
    const BadCase &c = GetParam();
    InstOptions options;
    InstError error{};
    ASSERT_FALSE(Parse(c.args, &options, &error));
    EXPECT_STREQ(error.what, c.what);
    EXPECT_STREQ(error.token, c.token);
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, Refused,
    ::testing::Values(
        BadCase{"nothing", {}, InstNoCommand, nullptr},
        BadCase{"unknown_command", {"start"}, "unknown command", "start"},
        BadCase{"option_before_command", {"-b", "300", "install"}, "unknown command", "-b"},
        BadCase{"unknown_option", {"install", "-x"}, "unknown option", "-x"},
        BadCase{"base_needs_value", {"install", "-b"}, "option needs a value", "-b"},
        BadCase{"group_needs_value", {"install", "-g"}, "option needs a value", "-g"},
        BadCase{"mode_needs_value", {"install", "-m"}, "option needs a value", "-m"},
        BadCase{"base_not_hex", {"install", "-b", "zz"}, "bad base address", "zz"},
        BadCase{"base_too_long", {"install", "-b", "123456789"}, "bad base address",
                "123456789"},
        BadCase{"base_below", {"install", "-b", "FF"}, "base address outside 100-3FC", "FF"},
        BadCase{"base_above", {"install", "-b", "3FD"}, "base address outside 100-3FC", "3FD"},
        BadCase{"base_negative", {"install", "-b", "-300"}, "base address outside 100-3FC",
                "-300"},
        BadCase{"empty_group", {"install", "-g", ""}, "empty group name", ""},
        BadCase{"bad_mode", {"install", "-m", "boot"}, "start type is auto or demand, not",
                "boot"},
        BadCase{"two_drivers", {"install", "a.sys", "b.sys"}, "unexpected argument", "b.sys"},
        BadCase{"remove_argument", {"remove", "now"}, "unexpected argument", "now"},
        BadCase{"status_option", {"status", "-b", "300"}, "unexpected argument", "-b"}),
    [](const ::testing::TestParamInfo<BadCase> &info) { return std::string(info.param.name); });

struct SidCase {
    const char *name;
    std::vector<uint8_t> sid;
    const char *text;  // nullptr: refused
};

class SidText : public ::testing::TestWithParam<SidCase> {};

TEST_P(SidText, Formats) {
    const SidCase &c = GetParam();
    char text[200] = "unchanged";
    int ok = InstFormatSid(c.sid.data(), c.sid.size(), text);
    if (c.text) {
        EXPECT_EQ(ok, 1);
        EXPECT_STREQ(text, c.text);
    } else {
        EXPECT_EQ(ok, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sids, SidText,
    ::testing::Values(
        SidCase{"administrators", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0},
                "S-1-5-32-544"},
        SidCase{"everyone", {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, "S-1-1-0"},
        SidCase{"no_sub_authority", {1, 0, 0, 0, 0, 0, 0, 5}, "S-1-5"},
        // Sub-authorities are unsigned 32-bit, little-endian.
        SidCase{"domain_group",
                {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 0xDC, 0x89, 0xDD, 0x3B, 0x83, 0x50, 0x2A,
                 0x46, 0x82, 0x2C, 0xA7, 0x28, 0x01, 0x02, 0, 0},
                "S-1-5-21-1004374492-1177178243-682044546-513"},
        SidCase{"largest_sub_authority", {1, 1, 0, 0, 0, 0, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF},
                "S-1-5-4294967295"},
        // An authority of 32 bits is decimal; above that, 12 hex digits.
        SidCase{"wide_authority_decimal", {1, 0, 0, 0, 0x12, 0x34, 0x56, 0x78}, "S-1-305419896"},
        SidCase{"authority_above_32_bits", {1, 1, 0x01, 0x02, 0, 0, 0, 5, 7, 0, 0, 0},
                "S-1-0x010200000005-7"},
        SidCase{"short_header", {1, 0, 0, 0, 0, 0, 0}, nullptr},
        SidCase{"short_sub_authorities", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0}, nullptr},
        SidCase{"count_above_15",
                [] {
                    std::vector<uint8_t> sid(8 + 4 * 16, 0);
                    sid[0] = 1;
                    sid[1] = 16;
                    return sid;
                }(),
                nullptr}),
    [](const ::testing::TestParamInfo<SidCase> &info) { return std::string(info.param.name); });

}  // namespace
