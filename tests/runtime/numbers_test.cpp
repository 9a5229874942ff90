// The random generator, conversions and number texts.
#include "runtime/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

TEST(RandomGenerator, SeedingFallsBackToTheStartStateOnDegenerateSeeds) {
    seedRandom(0);
    EXPECT_EQ(randomState(), 4660);
    seedRandom(2147483647);
    EXPECT_EQ(randomState(), 4660);
    seedRandom(-1);
    EXPECT_EQ(randomState(), 4660);
    seedRandom(-2);  // 0x7FFFFFFE after masking: a valid state
    EXPECT_EQ(randomState(), 0x7FFFFFFE);
    seedRandom(12345);
    EXPECT_EQ(randomState(), 12345);
}

TEST(RandomGenerator, StepsMatchTheWorkedValues) {
    seedRandom(1);
    randomFloat();
    EXPECT_EQ(randomState(), 48271);
    seedRandom(4660);
    randomFloat();
    EXPECT_EQ(randomState(), 4660 * 48271);
}

TEST(RandomGenerator, StateSequenceMatchesMinstdRand) {
    // std::minstd_rand uses the same multiplier and modulus, so the two
    // sequences must agree for any seed, over a long run.
    for (int seed : {1, 4660, 123456789, 2147483646, 987654}) {
        seedRandom(seed);
        std::minstd_rand reference(static_cast<std::uint_fast32_t>(seed));
        for (int i = 0; i < 100000; ++i) {
            randomFloat();
            ASSERT_EQ(static_cast<std::uint32_t>(randomState()), reference())
                << "seed " << seed << " step " << i;
        }
    }
}

TEST(RandomGenerator, DrawsUseTheDocumentedBitsAndStepCounts) {
    seedRandom(777);
    std::minstd_rand reference(777);
    const std::uint32_t s1 = reference();
    EXPECT_EQ(randomFloat(), static_cast<float>((s1 & 0x0FFFFFF0) / 268435456.0));

    const std::uint32_t a = reference() & 0x1FFFFFFC;
    const std::uint32_t b = reference() & 0x1FFFFFF8;
    EXPECT_EQ(randomDouble(), (a + b / 134217728.0) / 536870912.0);

    // randomReal and randomInt take two steps each.
    randomReal(0, 1000);
    reference();
    const std::uint32_t afterReal = reference();
    EXPECT_EQ(static_cast<std::uint32_t>(randomState()), afterReal);
    randomInt(0, 100);
    reference();
    EXPECT_EQ(static_cast<std::uint32_t>(randomState()), reference());
}

TEST(RandomGenerator, RangesAndBounds) {
    // The largest randomFloat is 0x0FFFFFF0 / 2^28, never 1.0.
    EXPECT_LT(0x0FFFFFF0 / 268435456.0, 1.0);
    seedRandom(99);
    int seenLow = 0, seenHigh = 0;
    for (int i = 0; i < 20000; ++i) {
        const float f = randomFloat();
        ASSERT_GE(f, 0.0f);
        ASSERT_LT(f, 1.0f);
        const double d = randomDouble();
        ASSERT_GE(d, 0.0);
        ASSERT_LT(d, 1.0);
        const int n = randomInt(0, 2);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 2);
        seenLow += n == 0;
        seenHigh += n == 2;
        const int reversed = randomInt(3, 1);
        ASSERT_GE(reversed, 1);
        ASSERT_LE(reversed, 3);
        const double r = randomReal(10, -10);
        ASSERT_GE(r, -10.0);
        ASSERT_LT(r, 10.0);
    }
    EXPECT_GT(seenLow, 5000);
    EXPECT_GT(seenHigh, 5000);
    EXPECT_EQ(randomInt(5, 5), 5);
}

TEST(RandomGenerator, RandomIntTruncatesTheWholeSum) {
    // With a negative sum the truncation applies to the sum, so a draw near
    // 0 from randomInt(-1, 0) lands on 0 rather than -1.
    seedRandom(1);
    int minusOnes = 0, zeros = 0;
    for (int i = 0; i < 10000; ++i) {
        const int n = randomInt(-1, 0);
        minusOnes += n == -1;
        zeros += n == 0;
    }
    EXPECT_EQ(minusOnes + zeros, 10000);
    EXPECT_GT(zeros, 7000);  // [-1, 0] truncates to 0, [0, 1) too
}

TEST(ToInt, TruncatesTowardZero) {
    EXPECT_EQ(toInt(2.7), 2);
    EXPECT_EQ(toInt(-2.7), -2);
    EXPECT_EQ(toInt(2.5), 2);
    EXPECT_EQ(toInt(3.5), 3);
    EXPECT_EQ(toInt(-0.5), 0);
    EXPECT_EQ(toInt(-0.9), 0);
    EXPECT_EQ(toInt(-3.5), -3);
    EXPECT_EQ(toInt(0.99999999), 0);
    EXPECT_EQ(toInt(7.0), 7);
    EXPECT_EQ(toInt(-7.0), -7);
    EXPECT_EQ(toInt(2147483646.9), 2147483646);
}

TEST(ToInt, IsDefinedForNonFiniteAndHugeValues) {
    EXPECT_EQ(toInt(std::nan("")), 0);
    EXPECT_EQ(toInt(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(toInt(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(toInt(1e10), std::numeric_limits<int>::max());
    EXPECT_EQ(toInt(-1e10), std::numeric_limits<int>::min());
}

TEST(NumericHelpers, DegreesPowerAndRemainder) {
    EXPECT_NEAR(sinDeg(90), 1.0, 1e-15);
    EXPECT_NEAR(cosDeg(180), -1.0, 1e-15);
    EXPECT_NEAR(atanDeg(1), 45.0, 1e-12);
    EXPECT_NEAR(atan2Deg(1, -1), 135.0, 1e-12);
    EXPECT_NEAR(atan2Deg(-1, -1), -135.0, 1e-12);
    EXPECT_EQ(power(2, 10), 1024.0);
    EXPECT_EQ(power(-2, 3), -8.0);
    EXPECT_EQ(power(0, 2), 0.0);
    EXPECT_EQ(power(0, 0), 1.0);
    EXPECT_EQ(power(0, -1), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(power(-2, 0.5)));
    EXPECT_EQ(power(0.5, 2.0), 0.25);
    EXPECT_EQ(modReal(-7, 3), -1.0);
    EXPECT_EQ(modReal(7, -3), 1.0);
    EXPECT_EQ(minInt(3, -4), -4);
    EXPECT_EQ(maxReal(0.5, 0.25), 0.5);
    EXPECT_EQ(floorOf(-1.5), -2.0);
    EXPECT_EQ(ceilOf(-1.5), -1.0);
}

TEST(NumberText, FormatsIntegers) {
    EXPECT_EQ(intToText(0), "0");
    EXPECT_EQ(intToText(-42), "-42");
    EXPECT_EQ(intToText(1234567), "1234567");
    EXPECT_EQ(intToText(std::numeric_limits<int>::min()), "-2147483648");
    EXPECT_EQ(longToText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(longToText(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
}

TEST(NumberText, ParsesTheDocumentedForms) {
    EXPECT_EQ(textToLong("  -42abc"), -42);
    EXPECT_EQ(textToLong("$ff"), 255);
    EXPECT_EQ(textToLong("$FF"), 255);
    EXPECT_EQ(textToLong("%101"), 5);
    EXPECT_EQ(textToLong("%102"), 2);  // stops at the first non-binary digit
    EXPECT_EQ(textToLong("abc"), 0);
    EXPECT_EQ(textToLong(""), 0);
    EXPECT_EQ(textToLong("   "), 0);
    EXPECT_EQ(textToLong("+17"), 17);
    EXPECT_EQ(textToLong("-"), 0);
    EXPECT_EQ(textToLong("--5"), 0);
    EXPECT_EQ(textToLong("-$10"), -16);
    EXPECT_EQ(textToLong("12 34"), 12);
    EXPECT_EQ(textToLong("\t\r7"), 7);
}

TEST(NumberText, WrapsInsteadOfOverflowing) {
    // 2^64 + 5 wraps to 5; 2^63 wraps to the most negative value.
    EXPECT_EQ(textToLong("18446744073709551621"), 5);
    EXPECT_EQ(textToLong("9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(textToInt("4294967297"), 1);
    EXPECT_EQ(textToInt("2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(textToInt("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(textToInt("99999999999999999999999999"), -469762049);
    EXPECT_EQ(wrapAdd64(std::numeric_limits<std::int64_t>::max(), 1),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(wrapMul32(65536, 65536), 0);
    EXPECT_EQ(low32(0x100000005LL), 5);
    EXPECT_EQ(low32(0xFFFFFFFFLL), -1);
}
