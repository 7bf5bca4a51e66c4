#include "number_text.hpp"

#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(FixedPoint, RoundsHalfwayAwayFromZeroAndEverythingElseToNearest) {
    struct Case {
        double value;
        Decimals decimals;
        const char* text;
    };
    const Case cases[] = {
        {0.0625, 3, "0.063"},                     // tie: the C library gives 0.062
        {0.25, 1, "0.3"},                         // tie: the C library gives 0.2
        {0.75, 1, "0.8"},                         // tie already rounding up to even
        {-0.25, 1, "-0.3"},                       // away from zero on the negative side too
        {-0.9375, 3, "-0.938"},                   //
        {6442451.25, 1, "6442451.3"},             //
        {0x1p50 + 0.25, 1, "1125899906842624.3"}, // no finer double there
        {0.35, 1, "0.3"},                         // 0.34999..., not a tie
        {0.0625000001, 3, "0.063"},               // just above a tie
        {0.0624999999, 3, "0.062"},               // just below a tie
        {0.001, 3, "0.001"},
        {0.0, 1, "0.0"},
        {-0.0, 3, "-0.000"},
        {-0.01, 1, "-0.0"},
        {1e-300, 3, "0.000"},
        {3.4e38 * 0.001, 1, "340000000000000011471537655372578816.0"},
        {inf, 3, "inf"},
        {-inf, 1, "-inf"},
        {nan, 3, "nan"},
        {-nan, 1, "-nan"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fixed_point(c.value, c.decimals).view(), c.text) << c.value;
    }
}

TEST(FixedPoint, PrintsTheLargestDoubleInFull) {
    const auto text = std::string(fixed_point(std::numeric_limits<double>::max(), 3).view());
    EXPECT_EQ(text.size(), 309U + 4U);
    EXPECT_EQ(text.substr(0, 6), "179769");
    EXPECT_EQ(text.substr(text.size() - 4), ".000");
}

TEST(TruncateToInt32, KeepsTheLow32BitsOfTheTruncatedValue) {
    struct Case {
        double value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {1000.5, 1000},
        {-1000.9, -1000},
        {0.99, 0},
        {0x1p31, std::numeric_limits<std::int32_t>::min()},
        {3e9, -1294967296},
        {0x1p32 + 5, 5},
        {-0x1p63 + 0x1p40 + 1024, 1024},
        {0x1p63, 0}, // out of the 64-bit range
        {-0x1p63, 0},
        {1e300, 0},
        {inf, 0},
        {-inf, 0},
        {nan, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(truncate_to_int32(c.value), c.expected) << c.value;
    }
}

TEST(Decimal, PrintsPlainDigits) {
    EXPECT_EQ(decimal(std::uint64_t{3221225472}).view(), "3221225472");
    EXPECT_EQ(decimal(std::int32_t{-2147483647 - 1}).view(), "-2147483648");
    EXPECT_EQ(decimal(0).view(), "0");
}

} // namespace
