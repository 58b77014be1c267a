#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vantaro;

TEST(NumberText, IntegersCarryALeadingBlankOrMinus) {
    EXPECT_EQ(numberText(std::int64_t{7000}), " 7000");
    EXPECT_EQ(numberText(std::int64_t{0}), " 0");
    EXPECT_EQ(numberText(std::int64_t{-1600}), "-1600");
    EXPECT_EQ(numberText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(numberText(std::int16_t{-32768}), "-32768");
}

TEST(NumberText, FractionsDropTheZeroBeforeThePoint) {
    EXPECT_EQ(numberText(0.5), " .5");
    EXPECT_EQ(numberText(-0.25), "-.25");
    EXPECT_EQ(numberText(1.5), " 1.5");
    EXPECT_EQ(numberText(0.01), " .01");
    EXPECT_EQ(numberText(63.5), " 63.5");
    EXPECT_EQ(numberText(127.0), " 127");
    EXPECT_EQ(numberText(-16.0), "-16");
    EXPECT_EQ(numberText(1e20), " 1E+20");
}

TEST(ReadNumber, TakesTheNumberTheTextBeginsWith) {
    EXPECT_EQ(readNumber(" 7000"), 7000);
    EXPECT_EQ(readNumber("-1600"), -1600);
    EXPECT_EQ(readNumber("12.5"), 12.5);
    EXPECT_EQ(readNumber("1 2 3"), 123); // blanks are skipped anywhere
    EXPECT_EQ(readNumber("\t-\n4 2"), -42);
    EXPECT_EQ(readNumber("42abc"), 42);
    EXPECT_EQ(readNumber("abc"), 0);
    EXPECT_EQ(readNumber(""), 0);
    EXPECT_EQ(readNumber("-"), 0);
    EXPECT_EQ(readNumber("."), 0);
    EXPECT_EQ(readNumber(".5"), 0.5);
    EXPECT_EQ(readNumber("1.5E2"), 150);
    EXPECT_EQ(readNumber("1.5d2"), 150);
    EXPECT_EQ(readNumber("2E"), 2);
    EXPECT_EQ(readNumber("&H10"), 16);
    EXPECT_EQ(readNumber("&hFFFF"), -1); // a 16-bit literal
    EXPECT_EQ(readNumber("&H10000"), 65536);
    EXPECT_EQ(readNumber("&O17"), 15);
    EXPECT_EQ(readNumber("&X1"), 0);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(63.5), 64);
    EXPECT_EQ(toInt16(12.5), std::int16_t{12});
    EXPECT_EQ(toInt16(13.5), std::int16_t{14});
    EXPECT_EQ(toInt16(32767.4), std::int16_t{32767});
}

TEST(Rounding, ValuesOutsideTheWidthFail) {
    EXPECT_FALSE(toInt16(40000).has_value());
    EXPECT_FALSE(toInt16(32767.5).has_value()); // rounds to 32768
    EXPECT_FALSE(toInt16(-32768.6).has_value());
    EXPECT_EQ(toInt16(-32768.5), std::int16_t{-32768});
    EXPECT_FALSE(toInt32(3e9).has_value());
    EXPECT_FALSE(toInt32(std::numeric_limits<double>::quiet_NaN()).has_value());
    EXPECT_EQ(toInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
}
