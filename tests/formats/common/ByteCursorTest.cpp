#include "formats/common/ByteCursor.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

using trimeo::ByteCursor;

namespace {
using Bytes = std::vector<std::uint8_t>;
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};
using Strict = trimeo::StrictByteCursor<Refused>;

std::string refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const Refused& e) {
        return e.what();
    }
    return "";
}
} // namespace

TEST(ByteCursor, ReadsLittleEndianValuesSizedNumbersAndText) {
    const Bytes b{0x01, 0x02, 0x03, 0x04, 0xff, 0x10, 0x20, 'a', 'b', 'c'};
    ByteCursor in(b);
    std::uint32_t word;
    ASSERT_TRUE(in.read(word));
    EXPECT_EQ(word, 0x04030201u);
    std::uint32_t one, two;
    ASSERT_TRUE(in.readSized(1, one) && in.readSized(2, two));
    EXPECT_EQ(one, 0xffu);
    EXPECT_EQ(two, 0x2010u);
    EXPECT_EQ(in.tell(), 7u);
    std::string text;
    ASSERT_TRUE(in.readText(3, text));
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(in.atEnd());
    EXPECT_TRUE(in.ok());
}

TEST(ByteCursor, AReadPastTheEndFailsAndTheCursorStaysFailed) {
    const Bytes b{1, 2, 3, 4, 5, 6};
    ByteCursor in(b);
    std::uint32_t word;
    ASSERT_TRUE(in.read(word));
    std::uint32_t big = 7;
    EXPECT_FALSE(in.read(big));
    EXPECT_EQ(big, 7u); // left untouched
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(in.remaining(), 0u);
    // Two bytes were left, but a failed cursor reads nothing more.
    std::uint16_t small;
    EXPECT_FALSE(in.read(small));

    // Sizes near the top of the range must not wrap the bounds check.
    std::string text;
    ByteCursor huge(b);
    EXPECT_FALSE(huge.readText(~0ull, text));
    EXPECT_TRUE(text.empty());
    std::span<const std::uint8_t> span;
    ByteCursor taken(b, 2);
    EXPECT_FALSE(taken.take(~0ull - 1, span));
}

TEST(ByteCursor, SeeksAndStartsAreCheckedAgainstTheSpan) {
    const Bytes b{9, 8, 7};
    ByteCursor in(b, 3);
    EXPECT_TRUE(in.ok());
    EXPECT_TRUE(in.atEnd());
    EXPECT_TRUE(in.seek(1));
    std::span<const std::uint8_t> rest;
    ASSERT_TRUE(in.take(2, rest));
    EXPECT_EQ(Bytes(rest.begin(), rest.end()), Bytes({8, 7}));
    EXPECT_FALSE(in.seek(4));
    EXPECT_FALSE(in.ok());
    EXPECT_FALSE(ByteCursor(b, 4).ok());
    EXPECT_TRUE(ByteCursor(std::span<const std::uint8_t>{}).atEnd());
}

TEST(StrictByteCursor, ThrowsWithAReasonWhereTheCheckedCursorWouldFail) {
    const Bytes b{1, 0, 0, 0, 2};
    Strict in(b);
    EXPECT_EQ(in.read<std::uint32_t>(), 1u);
    EXPECT_EQ(in.remaining(), 1u);
    EXPECT_EQ(refusal([&] { in.read<std::uint16_t>(); }), "data runs past the end");
    Strict again(b, 4);
    EXPECT_EQ(again.take(1)[0], 2);
    EXPECT_EQ(again.tell(), 5u);
    EXPECT_EQ(refusal([&] { again.take(1); }), "data runs past the end");
    EXPECT_EQ(refusal([&] { Strict(b).seek(6); }), "offset outside the file");
    EXPECT_EQ(refusal([&] { Strict(b, 6); }), "offset outside the file");
    EXPECT_EQ(refusal([&] { Strict(b).seek(5); }), "");
}
