#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

#include "model/numtext.h"

TEST(DisplayForm, SevenSignificantDigitsInGeneralLayout) {
    EXPECT_EQ(N(0.5f), "0.5");
    EXPECT_EQ(N(-0.25f), "-0.25");
    EXPECT_EQ(N(1e-5f), "1E-05");
    EXPECT_EQ(N(0.0001f), "0.0001");
    EXPECT_EQ(N(12345678.0f), "1.234568E+07");
    EXPECT_EQ(N(16711680.0f), "1.671168E+07");
    EXPECT_EQ(N(9999999.0f), "9999999");
    EXPECT_EQ(N(10000000.0f), "1E+07");
    EXPECT_EQ(N(-0.0f), "0");
    EXPECT_EQ(N(0.0f), "0");
    EXPECT_EQ(N(3.0f), "3");
    EXPECT_EQ(N(-4.0f), "-4");
    EXPECT_EQ(N(12.5f), "12.5");
    EXPECT_EQ(N(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(N(-162.5563f), "-162.5563");
    EXPECT_EQ(N(1.5e-10f), "1.5E-10");
    EXPECT_EQ(N(FLT_MAX), "3.402823E+38");
    EXPECT_EQ(N(1e-40f), "9.999946E-41");  // subnormal: the float's own digits
}

TEST(DisplayForm, RoundingCarriesIntoTheExponent) {
    EXPECT_EQ(N(9999999.5f), "1E+07");      // rounds to 8 digits, so exponent form
    EXPECT_EQ(N(0.00009999999f), "9.999999E-05");
    EXPECT_EQ(N(0.000099999999f), "0.0001");  // the nearest float rounds up past the boundary
    EXPECT_EQ(N(0.99999999f), "1");
}

TEST(FileForm, SevenDigitsUnlessTheyDoNotReadBack) {
    EXPECT_EQ(FileNumber(0.5f), "0.5");
    EXPECT_EQ(FileNumber(-4.0f), "-4");
    EXPECT_EQ(FileNumber(1e-5f), "1E-05");
    EXPECT_EQ(FileNumber(12345678.0f), "1.2345678E+07");  // 1.234568E+07 would read as 12345680
    EXPECT_EQ(FileNumber(16777216.0f), "1.6777216E+07");
    EXPECT_EQ(FileNumber(16777220.0f), "1.677722E+07");
    EXPECT_EQ(FileNumber(0.1f), "0.1");
    EXPECT_EQ(FileNumber(-0.0f), "0");
    // A float whose 7-digit text is another float gets more digits.
    const float f = std::nextafter(1.0f, 2.0f);  // 1.00000012
    EXPECT_EQ(N(f), "1");
    EXPECT_EQ(FileNumber(f), "1.0000001");
}

TEST(FileForm, EveryFloatSurvivesTheTextRoundTrip) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<uint32_t> bits;
    for (int i = 0; i < 200000; ++i) {
        uint32_t b = bits(rng);
        float v;
        std::memcpy(&v, &b, sizeof v);
        if (!std::isfinite(v)) continue;
        const std::string text = FileNumber(v);
        const NumberRead back = ReadNumber(text);
        ASSERT_TRUE(back.fits) << text;
        ASSERT_EQ(back.value, v) << text;
        ASSERT_LE(text.size(), 15u) << text;
    }
}

TEST(SignedForms, ColourAndDatabaseCoordinates) {
    EXPECT_EQ(SignedColor(255.0f), " 255");
    EXPECT_EQ(SignedColor(65535.0f), " 65535");
    EXPECT_EQ(SignedColor(16711680.0f), " 16711680");
    EXPECT_EQ(SignedColor(0.0f), " 0");
    EXPECT_EQ(SignedColor(-5.0f), "-5");
    EXPECT_EQ(SignedColor(65535.5f), " 65535.5");

    EXPECT_EQ(DbLineCoord(0.5f), " .5");
    EXPECT_EQ(DbLineCoord(-0.25f), "-.25");
    EXPECT_EQ(DbLineCoord(12.5f), " 12.5");
    EXPECT_EQ(DbLineCoord(-4.0f), "-4");
    EXPECT_EQ(DbLineCoord(0.0f), " 0");
    EXPECT_EQ(DbLineCoord(-0.0f), " 0");
    EXPECT_EQ(DbLineCoord(1e-5f), " 1E-05");
    EXPECT_EQ(DbLineCoord(0.0001f), " .0001");
}

TEST(Reading, LeadingNumberRule) {
    EXPECT_FLOAT_EQ(Val("  -1.5e3abc"), -1500.0f);
    EXPECT_FLOAT_EQ(Val("1D2"), 100.0f);
    EXPECT_FLOAT_EQ(Val("1d-2"), 0.01f);
    EXPECT_EQ(Val("abc"), 0.0f);
    EXPECT_EQ(Val("1 2"), 12.0f);  // blanks inside the number are skipped
    EXPECT_EQ(Val("+.5"), 0.5f);
    EXPECT_EQ(Val(""), 0.0f);
    EXPECT_EQ(Val(" \t\n 7"), 7.0f);
    EXPECT_EQ(Val("- 3"), -3.0f);
    EXPECT_EQ(Val("5."), 5.0f);
    EXPECT_EQ(Val("."), 0.0f);
    EXPECT_EQ(Val("-"), 0.0f);
    EXPECT_EQ(Val("1e"), 1.0f);
    EXPECT_EQ(Val("2E+"), 2.0f);
    EXPECT_EQ(Val("1.5.5"), 1.5f);
    EXPECT_EQ(Val("12abc34"), 12.0f);
    EXPECT_EQ(Val("\r5"), 0.0f);  // a carriage return is not skipped
    EXPECT_EQ(Val("0.1"), 0.1f);
    EXPECT_EQ(Val("1.234568E+07"), 12345680.0f);
}

TEST(Reading, NumbersBeyondAFloat) {
    EXPECT_FALSE(ReadNumber("1e39").fits);
    EXPECT_FALSE(ReadNumber("-1e39").fits);
    EXPECT_FALSE(ReadNumber("1e99999999999999999999").fits);
    EXPECT_FALSE(ReadNumber("123456789012345678901234567890123456789012").fits);
    EXPECT_TRUE(ReadNumber("3.4028234e38").fits);
    const NumberRead tiny = ReadNumber("1e-60");
    EXPECT_TRUE(tiny.fits);
    EXPECT_EQ(tiny.value, 0.0f);
    EXPECT_TRUE(ReadNumber("0e999999").fits);
    EXPECT_EQ(ReadNumber("0.000000000000000000000000000000000000000000000000001").value, 0.0f);
    EXPECT_EQ(Val("-1e39"), -FLT_MAX);
}

TEST(Colours, RoundedToNearestAndPacked) {
    EXPECT_EQ(ColorToRgb(65535.4f), 65535u);
    EXPECT_EQ(ColorToRgb(65535.6f), 65536u);
    EXPECT_EQ(ColorToRgb(2.5f), 2u);  // ties go to even
    EXPECT_EQ(ColorToRgb(3.5f), 4u);
    EXPECT_EQ(ColorToRgb(16711680.0f), 16711680u);
    EXPECT_EQ(ColorToRgb(NAN), 0u);
    EXPECT_EQ(ColorToRgb(1e20f), 0u);
    EXPECT_EQ(Rgb(255, 0, 244), 15991039u);
    EXPECT_EQ(Rgb(0, 0, 244), 15990784u);
}
