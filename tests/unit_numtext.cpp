#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "model/numtext.h"

// Each value in every text form: shown, in a file, as a database line
// coordinate and as a file colour.
TEST(NumberForms, EveryFormOfEachValue) {
    const struct {
        float v;
        const char *shown, *file, *db, *color;
    } rows[] = {
        {0.5f, "0.5", "0.5", " .5", " 0.5"},
        {-0.25f, "-0.25", "-0.25", "-.25", "-0.25"},
        {-4.0f, "-4", "-4", "-4", "-4"},
        {-0.0f, "0", "0", " 0", " 0"},
        {1e-5f, "1E-05", "1E-05", " 1E-05", " 1E-05"},
        {0.0001f, "0.0001", "0.0001", " .0001", " 0.0001"},
        {1.0f / 3.0f, "0.3333333", "0.33333334", " .33333334", " 0.33333334"},
        {std::nextafter(1.0f, 2.0f), "1", "1.0000001", " 1.0000001", " 1.0000001"},
        {1200000.0f, "1200000", "1200000", " 1200000", " 1200000"},
        {9999999.5f, "1E+07", "1E+07", " 1E+07", " 10000000"},  // rounds up to 8 digits
        {12345678.0f, "1.234568E+07", "1.2345678E+07", " 1.2345678E+07", " 12345678"},
        {16711680.0f, "1.671168E+07", "1.671168E+07", " 1.671168E+07", " 16711680"},
        {FLT_MAX, "3.402823E+38", "3.4028235E+38", " 3.4028235E+38", " 3.4028235E+38"},
        {-INFINITY, "-3.402823E+38", "-3.4028235E+38", "-3.4028235E+38", "-3.4028235E+38"},
        {NAN, "0", "0", " 0", " 0"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(N(r.v), r.shown) << r.file;
        EXPECT_EQ(FileNumber(r.v), r.file) << r.file;
        EXPECT_EQ(DbLineCoord(r.v), r.db) << r.file;
        EXPECT_EQ(SignedColor(r.v), r.color) << r.file;
    }
}

TEST(NumberReading, LeadingNumberRule) {
    const struct {
        const char* text;
        float value;
        bool fits = true;
    } rows[] = {
        {"  -1.5e3abc", -1500}, {"1D2", 100},    {"1d-2", 0.01f},  {"2E3", 2000},     {"1e9", 1e9f},
        {"7E+09", 7e9f},        {"abc", 0},      {"", 0},          {"1 2", 12},       {" \t\n 7", 7},
        {"- 3", -3},            {"+.5", 0.5f},   {"5.", 5},        {".", 0},          {"-", 0},
        {"1e", 1},              {"2E+", 2},      {"1.5.5", 1.5f},  {"12abc34", 12},   {"\r5", 0},
        {"0.1", 0.1f},          {"1e-60", 0},    {"-1e-60", -0.0f}, {"0e999999", 0},   {"3.4028234e38", FLT_MAX},
        {"1.234568E+07", 12345680},             {"0.000000000000000000000000000000000000000000000000001", 0},
        {"1e39", FLT_MAX, false},               {"-1e39", -FLT_MAX, false}, {"1e99999999999999999999", FLT_MAX, false},
        {"123456789012345678901234567890123456789012", FLT_MAX, false}};
    for (const auto& r : rows) {
        const NumberRead read = ReadNumber(r.text);
        EXPECT_EQ(read.value, r.value) << r.text;
        EXPECT_EQ(std::signbit(read.value), std::signbit(r.value)) << r.text;
        EXPECT_EQ(read.fits, r.fits) << r.text;
        EXPECT_EQ(Val(r.text), r.value) << r.text;
    }
}

TEST(NumberReading, LineColoursRoundToNearestAndPack) {
    const struct {
        float color;
        uint32_t rgb;
    } rows[] = {{65535.4f, 65535}, {65535.6f, 65536}, {2.5f, 2}, {3.5f, 4}, {16711680, 16711680}, {NAN, 0}, {1e20f, 0}};
    for (const auto& r : rows) EXPECT_EQ(ColorToRgb(r.color), r.rgb) << r.color;
}
