#include "playback/ByteRange.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace velmora::test {
namespace {

using Kind = ByteRange::Kind;

struct ParseCase {
    std::optional<std::string> header;
    std::int64_t size;
    Kind kind;
    std::int64_t first;
    std::int64_t last;
};
void PrintTo(const ParseCase& c, std::ostream* out)
{
    *out << (c.header ? '"' + *c.header + '"' : std::string("no header")) << " of " << c.size;
}

class ByteRangeParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ByteRangeParseTest, ReadsTheRangeAsHttpDefinesIt)
{
    const ParseCase& c = GetParam();
    const ByteRange range = ByteRange::Parse(c.header, c.size);
    EXPECT_EQ(range.kind, c.kind);
    if (c.kind != Kind::Unsatisfiable) {
        EXPECT_EQ(range.first, c.first);
        EXPECT_EQ(range.last, c.last);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ByteRangeParseTest,
    ::testing::Values(
        ParseCase{std::nullopt, 1000, Kind::Whole, 0, 999},
        ParseCase{"bytes=100-", 1000, Kind::Partial, 100, 999},
        ParseCase{" bytes=100-199 ", 1000, Kind::Partial, 100, 199},
        ParseCase{"BYTES=0-0", 1000, Kind::Partial, 0, 0},
        ParseCase{"bytes=999-", 1000, Kind::Partial, 999, 999},
        ParseCase{"bytes=500-5000", 1000, Kind::Partial, 500, 999},
        ParseCase{"bytes=-1", 1000, Kind::Partial, 999, 999},
        ParseCase{"bytes=-5000", 1000, Kind::Partial, 0, 999},
        ParseCase{"bytes=1000-", 1000, Kind::Unsatisfiable, 0, 0},
        ParseCase{"bytes=99999999999999999999999-", 1000, Kind::Unsatisfiable, 0, 0},
        ParseCase{"bytes=0-", 0, Kind::Unsatisfiable, 0, 0},
        ParseCase{"bytes=-0", 1000, Kind::Unsatisfiable, 0, 0},
        // Ignored: the whole item.
        ParseCase{"bytes=200-100", 1000, Kind::Whole, 0, 999},
        ParseCase{"bytes=1-2,4-5", 1000, Kind::Whole, 0, 999},
        ParseCase{"items=0-5", 1000, Kind::Whole, 0, 999},
        ParseCase{"bytes=x-5", 1000, Kind::Whole, 0, 999},
        ParseCase{"bytes=+5-", 1000, Kind::Whole, 0, 999},
        ParseCase{"bytes=5", 1000, Kind::Whole, 0, 999},
        ParseCase{"bytes=-", 1000, Kind::Whole, 0, 999},
        ParseCase{"", 1000, Kind::Whole, 0, 999}));

} // namespace
} // namespace velmora::test
