#include <gtest/gtest.h>

#include <vector>

#include "frame.h"
#include "named_case.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct FrameCase {
    const char *name;
    int32_t w2, w1;
    Bytes payload;
    Bytes frame;
};

class FrameTable : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameTable, BuildsTheExactBytes) {
    const FrameCase &c = GetParam();
    int32_t size = -1;
    ASSERT_TRUE(CommandFrameSize((int32_t)c.payload.size(), &size));
    ASSERT_EQ(size, (int32_t)c.frame.size());
    Bytes frame(size + 4, 0xCC);  // guard bytes after the frame
    BuildCommandFrame(frame.data(), c.w2, c.w1,
                      c.payload.empty() ? nullptr : c.payload.data(),
                      (int32_t)c.payload.size());
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + size), c.frame);
    EXPECT_EQ(Bytes(frame.begin() + size, frame.end()), Bytes(4, 0xCC));
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameTable,
    ::testing::Values(
        FrameCase{"w1_before_w2", 0x0304, 0x0102, {0xAA, 0xBB},
                  {0x01, 0x00, 0x02, 0x01, 0x04, 0x03, 0xAA, 0xBB}},
        FrameCase{"empty_payload", 0x5678, 0x1234, {},
                  {0x01, 0x00, 0x34, 0x12, 0x78, 0x56}},
        FrameCase{"high_bits_dropped", 0x7FFFABCD, 0x00010002, {0x00},
                  {0x01, 0x00, 0x02, 0x00, 0xCD, 0xAB, 0x00}},
        FrameCase{"negative_words_masked", -1, -2, {0xFF},
                  {0x01, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF}},
        FrameCase{"zero_words", 0, 0, {1, 2, 3},
                  {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 1, 2, 3}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FrameSize, RefusesLengthsThatMakeNoFrame) {
    struct {
        int32_t length;
        bool ok;
        int32_t size;
    } cases[] = {
        {0, true, 6},
        {4092, true, 4098},
        {INT32_MAX - 6, true, INT32_MAX},
        {INT32_MAX - 5, false, 0},
        {INT32_MAX, false, 0},
        {-1, false, 0},
        {INT32_MIN, false, 0},
    };
    for (const auto &c : cases) {
        int32_t size = -7;
        EXPECT_EQ(CommandFrameSize(c.length, &size), c.ok ? 1 : 0) << c.length;
        EXPECT_EQ(size, c.ok ? c.size : -7) << c.length;
    }
}

TEST(StatusWord, IsUnsignedLittleEndianFromBytesTwoAndThree) {
    struct {
        Bytes header;
        uint16_t word;
    } cases[] = {
        {{0x00, 0x00, 0x05, 0x01}, 261},
        {{0x00, 0x00, 0xFF, 0x00}, 255},
        {{0x00, 0x00, 0x00, 0x80}, 32768},
        {{0x00, 0x00, 0xFF, 0xFF}, 65535},
        {{0xFF, 0xFF, 0x00, 0x00}, 0},  // bytes 0-1 are not looked at
        {{0x12, 0x34, 0x03, 0x00}, 3},
    };
    for (const auto &c : cases) EXPECT_EQ(DecodeStatusWord(c.header.data()), c.word);
}

}  // namespace
