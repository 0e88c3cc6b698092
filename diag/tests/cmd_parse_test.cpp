// What d418cmd takes as input: commands and their arguments, options, and
// script lines; bad input is refused with one line on stderr before the
// library is loaded.
#include <cstring>

#include "cmd_parse.h"
#include "cmd_test.h"

namespace {

std::string TokenText(const CmdToken &token) {
    return token.text ? std::string(token.text, token.length) : std::string();
}

// A command as a script line: split, then checked.
struct StepCase {
    const char *name;
    const char *line;
    // Accepted: the step's fields ("" when refused).
    const char *step;
    // Refused: the message and the token it names.
    const char *what;
    const char *token;
};

std::string Describe(const CmdStep &step) {
    char text[64];
    switch (step.kind) {
    case CMD_RESET:
        return "reset";
    case CMD_TIMEOUT:
        std::snprintf(text, sizeof text, "timeout %u", (unsigned)step.timeout);
        return text;
    default:
        std::snprintf(text, sizeof text, "send %04X %04X", (unsigned)step.w2, (unsigned)step.w1);
        std::string out = text;
        for (int32_t i = 0; i < step.length; i++) {
            std::snprintf(text, sizeof text, " %02X", step.payload[i]);
            out += text;
        }
        return out;
    }
}

class StepTable : public ::testing::TestWithParam<StepCase> {};

TEST_P(StepTable, AcceptsOrNamesTheBadToken) {
    const StepCase &c = GetParam();
    static CmdToken tokens[CMD_MAX_TOKENS];
    static CmdStep step;
    int count = CmdSplitLine(c.line, std::strlen(c.line), tokens, CMD_MAX_TOKENS);
    ASSERT_GT(count, 0);
    CmdError error{};
    int ok = CmdParseStep(tokens, count, &step, &error);
    if (*c.step) {
        ASSERT_EQ(ok, 1) << error.what << " " << TokenText(error.token);
        EXPECT_EQ(Describe(step), c.step);
    } else {
        ASSERT_EQ(ok, 0) << Describe(step);
        EXPECT_STREQ(error.what, c.what);
        EXPECT_EQ(TokenText(error.token), c.token);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, StepTable,
    ::testing::Values(
        StepCase{"reset", "reset", "reset", "", ""},
        StepCase{"name_in_capitals", "RESET", "reset", "", ""},
        StepCase{"send_without_payload", "send 304 102", "send 0304 0102", "", ""},
        StepCase{"send_spellings", "Send 0x304 0X102 aa BB 0xcc 0 00ff",
                 "send 0304 0102 AA BB CC 00 FF", "", ""},
        StepCase{"send_largest_values", "send FFFF 0000FFFF FF", "send FFFF FFFF FF", "", ""},
        StepCase{"blanks_and_comment", " \tsend\t1  2 AA   # what it is for", "send 0001 0002 AA",
                 "", ""},
        StepCase{"comment_right_after_a_byte", "send 1 2 AA#BB", "send 0001 0002 AA", "", ""},
        StepCase{"timeout", "timeout 50", "timeout 50", "", ""},
        StepCase{"timeout_zero", "timeout 0", "timeout 0", "", ""},
        StepCase{"timeout_largest", "timeout 4294967295", "timeout 4294967295", "", ""},
        // Unknown commands and missing arguments.
        StepCase{"unknown_command", "rest", "", "unknown command", "rest"},
        StepCase{"option_as_command", "-k", "", "unknown command", "-k"},
        StepCase{"send_no_words", "send", "", "missing W2 after", "send"},
        StepCase{"send_one_word", "send 304", "", "missing W1 after", "304"},
        StepCase{"timeout_no_value", "timeout", "", "missing N after", "timeout"},
        StepCase{"reset_with_argument", "reset now", "", "unexpected argument", "now"},
        StepCase{"timeout_two_values", "timeout 5 6", "", "unexpected argument", "6"},
        // Numbers that do not parse, or do not fit.
        StepCase{"word_above_ffff", "send 10000 1", "", "word above FFFF", "10000"},
        StepCase{"long_word", "send 1 123456789ABCDEF", "", "word above FFFF", "123456789ABCDEF"},
        StepCase{"byte_above_ff", "send 1 2 AA 100", "", "byte above FF", "100"},
        StepCase{"byte_not_hex", "send 1 2 AA zz", "", "not a hexadecimal number", "zz"},
        StepCase{"word_not_hex", "send 30g 1", "", "not a hexadecimal number", "30g"},
        StepCase{"prefix_alone", "send 1 2 0x", "", "not a hexadecimal number", "0x"},
        StepCase{"negative_word", "send -1 2", "", "not a hexadecimal number", "-1"},
        StepCase{"trailing_h", "send 1 2 FFh", "", "not a hexadecimal number", "FFh"},
        StepCase{"bytes_with_comma", "send 1 2 AA,BB", "", "not a hexadecimal number", "AA,BB"},
        StepCase{"timeout_hex", "timeout 0x10", "", "not a decimal number", "0x10"},
        StepCase{"timeout_negative", "timeout -1", "", "not a decimal number", "-1"},
        StepCase{"timeout_too_large", "timeout 4294967296", "", "timeout above 4294967295",
                 "4294967296"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StepPayload, TakesUpTo4092BytesAndNamesTheNextOne) {
    std::string line = "send 1 2";
    for (int i = 0; i < CMD_MAX_PAYLOAD; i++) line += i % 2 ? " 5A" : " A5";
    static CmdToken tokens[CMD_MAX_TOKENS];
    static CmdStep step;
    CmdError error{};
    int count = CmdSplitLine(line.data(), line.size(), tokens, CMD_MAX_TOKENS);
    ASSERT_EQ(CmdParseStep(tokens, count, &step, &error), 1);
    EXPECT_EQ(step.length, CMD_MAX_PAYLOAD);
    EXPECT_EQ(step.payload[CMD_MAX_PAYLOAD - 1], 0x5A);

    line += " 7F 01 02";
    count = CmdSplitLine(line.data(), line.size(), tokens, CMD_MAX_TOKENS);
    ASSERT_EQ(CmdParseStep(tokens, count, &step, &error), 0);
    EXPECT_STREQ(error.what, "more than 4092 bytes");
    EXPECT_EQ(TokenText(error.token), "7F");
}

// Lines of a script held in memory.
std::vector<std::string> Lines(const std::string &text, std::string *error_text = nullptr) {
    CmdScriptCursor cursor;
    CmdToken line;
    CmdError error{};
    std::vector<std::string> lines;
    int got;
    CmdScriptBegin(&cursor, text.data(), text.size());
    while ((got = CmdScriptNextLine(&cursor, &line, &error)) > 0) lines.push_back(TokenText(line));
    if (got < 0 && error_text)
        *error_text = std::to_string(cursor.line) + ": " + error.what;
    return lines;
}

TEST(ScriptLines, EndInLfOrCrLfOrNothing) {
    EXPECT_EQ(Lines("reset\nsend 1 2\r\n\r\ntimeout 5"),
              (std::vector<std::string>{"reset", "send 1 2", "", "timeout 5"}));
    EXPECT_EQ(Lines("reset\r\n"), (std::vector<std::string>{"reset"}));
    EXPECT_EQ(Lines(""), (std::vector<std::string>{}));
    // Only the CR right before the line end goes.
    EXPECT_EQ(Lines("a\rb\r\r\n"), (std::vector<std::string>{"a\rb\r"}));
}

TEST(ScriptLines, SkipAUtf8ByteOrderMark) {
    EXPECT_EQ(Lines("\xEF\xBB\xBFreset\n"), (std::vector<std::string>{"reset"}));
}

TEST(ScriptLines, LongestLineIsReadTheNextIsNot) {
    std::string longest(CMD_MAX_LINE, 'x');
    std::string error;
    EXPECT_EQ(Lines("reset\n" + longest + "\r\n", &error).size(), 2u);
    EXPECT_EQ(error, "");
    EXPECT_EQ(Lines("reset\n" + longest + "x\n", &error).size(), 1u);
    EXPECT_EQ(error, "2: line longer than 32767 characters");
}

TEST(ScriptLines, ZeroByteMakesALineUnreadable) {
    std::string error;
    EXPECT_EQ(Lines(std::string("reset\nre\0set\n", 13), &error).size(), 1u);
    EXPECT_EQ(error, "2: zero byte in line");
}

TEST(ScriptCheck, TellsTheFirstBadLine) {
    const std::string script = "# warm up\n\nreset\nsend 1 2 AA\nsend 1 2 AAA\nrest\n";
    CmdError error{};
    long line = 0;
    EXPECT_EQ(CmdCheckScript(script.data(), script.size(), &error, &line), 0);
    EXPECT_EQ(line, 5);
    EXPECT_STREQ(error.what, "byte above FF");
    EXPECT_EQ(TokenText(error.token), "AAA");
}

// Bad input, whole program: one line on stderr, nothing on stdout, exit 3
// and no loader call at all.
struct RefusalCase {
    const char *name;
    std::vector<std::string> args;
    std::string err;
    std::string script;  // written to a file that "@SCRIPT@" stands for
};

class Refusal : public DiagTest, public ::testing::WithParamInterface<RefusalCase> {};

const std::string kUsage =
    "usage: d418cmd [-b BASE] [-t TIMEOUT] [-k] COMMAND [ARG...]\n"
    "       d418cmd [-b BASE] [-t TIMEOUT] [-k] -f SCRIPT\n"
    "COMMAND: reset | send W2 W1 [BYTE...] | timeout N\n";

TEST_P(Refusal, OneLineOnStderrAndNoLoad) {
    const RefusalCase &c = GetParam();
    simload::ScriptD418();
    ScriptFile file(c.script);
    std::vector<std::string> args = c.args;
    std::string err = c.err;
    for (std::string &arg : args)
        if (arg == "@SCRIPT@") arg = file.path();
    for (size_t at; (at = err.find("@SCRIPT@")) != std::string::npos;)
        err.replace(at, 8, file.path());
    CmdRun run = RunCmd(args);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.status, CMD_EXIT_USAGE);
    EXPECT_EQ(simload::Calls(), Calls{});
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Refusal,
    ::testing::Values(
        RefusalCase{"nothing", {}, kUsage, ""},
        RefusalCase{"options_only", {"-k", "-b", "300"}, kUsage, ""},
        RefusalCase{"unknown_option", {"-x", "reset"}, "d418cmd: unknown option \"-x\"\n", ""},
        RefusalCase{"base_missing", {"-b"}, "d418cmd: missing BASE after \"-b\"\n", ""},
        RefusalCase{"base_not_hex", {"-b", "zz", "reset"},
                    "d418cmd: not a hexadecimal base address \"zz\"\n", ""},
        RefusalCase{"base_too_large", {"-b", "123456789", "reset"},
                    "d418cmd: not a hexadecimal base address \"123456789\"\n", ""},
        RefusalCase{"base_twice", {"-b", "300", "-b", "280", "reset"},
                    "d418cmd: repeated option \"-b\"\n", ""},
        RefusalCase{"timeout_missing", {"reset", "-t"}, "d418cmd: unexpected argument \"-t\"\n",
                    ""},
        RefusalCase{"timeout_not_decimal", {"-t", "1.5", "reset"},
                    "d418cmd: not a decimal number \"1.5\"\n", ""},
        RefusalCase{"timeout_too_large", {"-t", "99999999999", "reset"},
                    "d418cmd: timeout above 4294967295 \"99999999999\"\n", ""},
        RefusalCase{"unknown_command", {"-k", "rest"}, "d418cmd: unknown command \"rest\"\n", ""},
        RefusalCase{"send_missing_w1", {"send", "304"}, "d418cmd: missing W1 after \"304\"\n",
                    ""},
        RefusalCase{"send_byte_above_ff", {"send", "304", "102", "1FF"},
                    "d418cmd: byte above FF \"1FF\"\n", ""},
        RefusalCase{"send_word_above_ffff", {"send", "10304", "102"},
                    "d418cmd: word above FFFF \"10304\"\n", ""},
        RefusalCase{"one_argument_two_bytes", {"send", "304", "102", "AA BB"},
                    "d418cmd: not a hexadecimal number \"AA BB\"\n", ""},
        RefusalCase{"script_missing", {"-f"}, "d418cmd: missing SCRIPT after \"-f\"\n", ""},
        RefusalCase{"script_and_command", {"-f", "@SCRIPT@", "reset"},
                    "d418cmd: unexpected argument \"reset\"\n", "reset\n"},
        RefusalCase{"script_twice", {"-f", "@SCRIPT@", "-f", "@SCRIPT@"},
                    "d418cmd: repeated option \"-f\"\n", "reset\n"},
        RefusalCase{"script_not_found", {"-f", "no-such-script.txt"},
                    "d418cmd: cannot open script \"no-such-script.txt\"\n", ""},
        RefusalCase{"script_bad_line", {"-k", "-f", "@SCRIPT@"},
                    "d418cmd: @SCRIPT@:3: unknown command \"sned\"\n",
                    "reset\r\n# next\r\nsned 1 2\r\nreset\r\n"},
        RefusalCase{"script_bad_last_line", {"-f", "@SCRIPT@"},
                    "d418cmd: @SCRIPT@:2: byte above FF \"100\"\n", "send 1 2 FF\nsend 1 2 100"},
        RefusalCase{"script_zero_byte", {"-f", "@SCRIPT@"},
                    "d418cmd: @SCRIPT@:1: zero byte in line\n", std::string("reset\0\n", 7)},
        RefusalCase{"script_long_line", {"-f", "@SCRIPT@"},
                    "d418cmd: @SCRIPT@:2: line longer than 32767 characters\n",
                    "reset\n#" + std::string(CMD_MAX_LINE, ' ') + "\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// Options that are taken: what reaches the library.
struct OptionCase {
    const char *name;
    std::vector<std::string> args;
    Calls tail;  // after the five lookups
};

class Options : public DiagTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(Options, ReachTheLibrary) {
    simload::ScriptD418();
    CmdRun run = RunCmd(GetParam().args);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(simload::Calls(), Then(BindCalls(), GetParam().tail));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Options,
    ::testing::Values(
        OptionCase{"defaults", {"reset"}, {"D418Init 0x00000300", "D418Reset"}},
        // -b takes what d418diag takes.
        OptionCase{"base", {"-b", "280", "reset"}, {"D418Init 0x00000280", "D418Reset"}},
        OptionCase{"base_spelling", {"-b", "0x2A0h", "reset"}, {"D418Init 0x000002A0", "D418Reset"}},
        OptionCase{"base_negative", {"-b", "-300", "reset"}, {"D418Init 0xFFFFFD00", "D418Reset"}},
        OptionCase{"timeout_before_the_command",
                   {"-k", "-t", "4294967295", "-b", "300", "reset"},
                   {"D418Init 0x00000300", "D418Timeout 0xFFFFFFFF", "D418Reset"}},
        OptionCase{"timeout_command", {"timeout", "25"},
                   {"D418Init 0x00000300", "D418Timeout 0x00000019"}},
        OptionCase{"send_order", {"send", "304", "0x102", "aa", "0"},
                   {"D418Init 0x00000300", "D418SendCommand w2=0x304 w1=0x102 length=2 AA 00",
                    "D418ReadResponse buffer"}}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
