#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

#include "storage/mydfile.h"
#include "support/file_helpers.h"

using testfiles::TempDir;

namespace {

struct P {
    float no, x, y;
};
struct L {
    float id, x1, y1, x2, y2, color;
};

PointList Points(std::initializer_list<P> list) {
    PointList points;
    for (const P& p : list) {
        auto r = std::make_shared<CPoint>();
        r->pntNO = p.no;
        r->X = p.x;
        r->Y = p.y;
        points.Add(r);
    }
    return points;
}

LineList Lines(std::initializer_list<L> list) {
    LineList lines;
    for (const L& l : list) {
        auto r = std::make_shared<CLine>();
        r->ID = l.id;
        r->sp.X = l.x1;
        r->sp.Y = l.y1;
        r->ep.X = l.x2;
        r->ep.Y = l.y2;
        r->color = l.color;
        lines.Add(r);
    }
    return lines;
}

// The record texts built the plain way, from the shared number forms.
std::string ReferenceText(const PointList& points, const LineList& lines) {
    std::string text;
    for (const auto& p : points)
        text += "1 " + FileNumber(p->pntNO) + " " + FileNumber(p->X) + " " + FileNumber(p->Y) + "\r\n";
    for (const auto& l : lines)
        text += "2 " + FileNumber(l->ID) + " " + FileNumber(l->sp.X) + " " + FileNumber(l->sp.Y) + " " +
                FileNumber(l->ep.X) + " " + FileNumber(l->ep.Y) + " " + SignedColor(l->color) + "\r\n";
    return text;
}

void ExpectSameDrawing(const PointList& p1, const LineList& l1, const PointList& p2, const LineList& l2) {
    ASSERT_EQ(p1.Count(), p2.Count());
    ASSERT_EQ(l1.Count(), l2.Count());
    for (int i = 1; i <= p1.Count(); ++i) {
        const CPoint &a = *p1.Item(i), &b = *p2.Item(i);
        ASSERT_TRUE(a.pntNO == b.pntNO && a.X == b.X && a.Y == b.Y)
            << "point " << i << ": " << a.pntNO << " " << a.X << " " << a.Y << " / " << b.pntNO << " " << b.X
            << " " << b.Y;
        ASSERT_FALSE(b.IsSelect);
    }
    for (int i = 1; i <= l1.Count(); ++i) {
        const CLine &a = *l1.Item(i), &b = *l2.Item(i);
        ASSERT_TRUE(a.ID == b.ID && a.sp.X == b.sp.X && a.sp.Y == b.sp.Y && a.ep.X == b.ep.X && a.ep.Y == b.ep.Y &&
                    a.color == b.color)
            << "line " << i;
        ASSERT_FALSE(b.IsSelect);
        ASSERT_EQ(b.sp.pntNO, 0.0f);
        ASSERT_EQ(b.ep.pntNO, 0.0f);
    }
}

std::string PutNumberText(float v) {
    char buf[kMaxMydNumber];
    return std::string(buf, PutFileNumber(buf, v));
}
std::string PutColorText(float v) {
    char buf[kMaxMydNumber];
    return std::string(buf, PutSignedColor(buf, v));
}

}  // namespace

// ---- writing ----

TEST(MydWriter, EveryNumberFormToTheByte) {
    const PointList points = Points({
        {1, 12.5f, -4},
        {2, 0.5f, -0.25f},
        {3, 1e-5f, 12345680.0f},
        {-7, 0, 100},
        {4, 12345678.0f, std::nextafter(1.0f, 2.0f)},  // 7 digits would not read back
    });
    const LineList lines = Lines({
        {1, 0, 0, 10, 10, 255},
        {2, -1.5f, 2.25f, 1e-5f, -3, 16711680},
        {3, 1, 2, 3, 4, -5},
        {4, 0.0001f, -0.00012f, 9999999, 1e7f, 65535.5f},
    });
    EXPECT_EQ(WriteMydText(points, lines),
              "1 1 12.5 -4\r\n"
              "1 2 0.5 -0.25\r\n"
              "1 3 1E-05 1.234568E+07\r\n"
              "1 -7 0 100\r\n"
              "1 4 1.2345678E+07 1.0000001\r\n"
              "2 1 0 0 10 10  255\r\n"
              "2 2 -1.5 2.25 1E-05 -3  16711680\r\n"
              "2 3 1 2 3 4 -5\r\n"
              "2 4 0.0001 -0.00012 9999999 1E+07  65535.5\r\n");
}

TEST(MydWriter, EmptyDrawingIsAnEmptyText) { EXPECT_EQ(WriteMydText(PointList{}, LineList{}), ""); }

TEST(MydWriter, OnlyLinesOrOnlyPoints) {
    EXPECT_EQ(WriteMydText(PointList{}, Lines({{5, 1, 2, 3, 4, 0}})), "2 5 1 2 3 4  0\r\n");
    EXPECT_EQ(WriteMydText(Points({{5, 1, 2}}), LineList{}), "1 5 1 2\r\n");
}

TEST(MydWriter, LargeDrawingMatchesTheRecordTextsAcrossChunks) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(-500.0f, 500.0f);
    PointList points;
    LineList lines;
    for (int i = 0; i < 40000; ++i) {
        auto p = std::make_shared<CPoint>();
        p->pntNO = float(i + 1);
        p->X = coord(rng);
        p->Y = coord(rng);
        points.Add(p);
        auto l = std::make_shared<CLine>();
        l->ID = float(i + 1);
        l->sp.X = coord(rng);
        l->sp.Y = coord(rng);
        l->ep.X = coord(rng);
        l->ep.Y = coord(rng);
        l->color = float(rng() % 0x1000000);
        lines.Add(l);
    }
    const std::string text = WriteMydText(points, lines);
    EXPECT_GT(text.size(), std::size_t{2} << 20);  // more than one chunk
    EXPECT_EQ(text, ReferenceText(points, lines));
}

// ---- the allocation-free number forms agree with the shared ones ----

TEST(MydNumbers, PutFileNumberWritesFileNumber) {
    std::vector<float> values = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e-5f, 1e7f, 9999999.0f, 12345678.0f, FLT_MAX,
                                 -FLT_MAX, FLT_MIN, FLT_TRUE_MIN, 1e-40f, 0.1f, 1e10f, 1e-10f, 8.589934e9f,
                                 NAN, INFINITY, -INFINITY};
    for (int e = -149; e <= 127; ++e) {  // powers of two and their neighbours
        const float p = std::ldexp(1.0f, e);
        values.insert(values.end(), {p, std::nextafter(p, 0.0f), std::nextafter(p, INFINITY)});
    }
    for (int e = -45; e <= 38; ++e) {  // powers of ten and their neighbours
        const float p = std::pow(10.0f, float(e));
        values.insert(values.end(), {p, std::nextafter(p, 0.0f), std::nextafter(p, INFINITY)});
    }
    std::mt19937 rng(99);
    for (int i = 0; i < 300000; ++i) values.push_back(std::bit_cast<float>(static_cast<uint32_t>(rng())));
    std::uniform_real_distribution<float> coord(-1000.0f, 1000.0f);
    for (int i = 0; i < 100000; ++i) values.push_back(coord(rng));
    for (float v : values) {
        ASSERT_EQ(PutNumberText(v), FileNumber(v)) << std::bit_cast<uint32_t>(v);
        ASSERT_EQ(PutNumberText(-v), FileNumber(-v)) << std::bit_cast<uint32_t>(v);
    }
}

TEST(MydNumbers, PutSignedColorWritesSignedColor) {
    std::vector<float> values = {0.0f, -0.0f, 255.0f, 65535.0f, 16711680.0f, 16777215.0f, -5.0f, 65535.5f,
                                 1e15f, 9.99e14f, 1e20f, -1e20f, 0.25f, 1e-7f, FLT_MAX, NAN, INFINITY, -INFINITY};
    std::mt19937 rng(5);
    for (int i = 0; i < 100000; ++i) {
        values.push_back(float(rng() % 0x1000000));
        values.push_back(std::bit_cast<float>(static_cast<uint32_t>(rng())));
    }
    for (float v : values) ASSERT_EQ(PutColorText(v), SignedColor(v)) << std::bit_cast<uint32_t>(v);
}

TEST(MydNumbers, ReadFieldNumberReadsAsTheLeadingNumberRule) {
    auto same = [](std::string_view text) {
        const NumberRead fast = ReadFieldNumber(text);
        const NumberRead rule = ReadNumber(text);
        return fast.fits == rule.fits &&
               std::bit_cast<uint32_t>(fast.value) == std::bit_cast<uint32_t>(rule.value);
    };
    for (const char* text : {"", "0", "-0", "12.5", "-4", "1E-05", "1.234568E+07", "1e39", "-1e39", "1e-60",
                             "3.4028235e38", "3.4028236e38", "1D2", "+5", ".5", "-.5", "5.", "inf", "nan", "-inf",
                             "1e", "1e+", "0x10", "1 2", "1\t2", "12abc", "abc", "\r5", "1.5.5", "--1", "-",
                             "00000000000000000000000000000000000000000000000000001"})
        EXPECT_TRUE(same(text)) << '"' << text << '"';

    std::mt19937 rng(3);
    const std::string alphabet = "0123456789.-+eEdD \t\nx";
    for (int i = 0; i < 200000; ++i) {
        std::string text(rng() % 16, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        ASSERT_TRUE(same(text)) << '"' << text << '"';
        const std::string number = FileNumber(std::bit_cast<float>(static_cast<uint32_t>(rng())));
        ASSERT_TRUE(same(number)) << number;
    }
}

TEST(MydNumbers, OnlyAMarkerOfExactlyOneMakesAPoint) {
    for (const char* m : {"1", "1.0", "01", "+1", "1e0", "10e-1", "0.1E1", "1D0", "1.", "1e", "1x", "1\t"})
        EXPECT_TRUE(MarkerIsPoint(m)) << m;
    for (const char* m : {"2", "0", "3", "-1", "abc", "", "1.5", "11", "1.00001", ".", "-", "x1", "inf", "1e400",
                          "\r1"})
        EXPECT_FALSE(MarkerIsPoint(m)) << m;
}

// ---- reading ----

TEST(MydReader, RecordsInFileOrder) {
    const MydContent c = ParseMyd("1 3 12.5 -4\r\n2 1 0 0 10 10  255\r\n1 1 -0.5 1.234568E+07\r\n");
    ASSERT_TRUE(c.ok());
    ExpectSameDrawing(Points({{3, 12.5f, -4}, {1, -0.5f, 12345680.0f}}), Lines({{1, 0, 0, 10, 10, 255}}), c.points,
                      c.lines);
}

TEST(MydReader, MarkerDecidesTheKind) {
    const MydContent c = ParseMyd(
        "0 10 1 2 3 4  5\r\n"
        "2 11 1 2 3 4  5\r\n"
        "3 12 1 2 3 4  5\r\n"
        "1.0 13 1 2\r\n"
        "abc 14 1 2 3 4  5\r\n"
        "1 15 1 2\r\n");
    ASSERT_TRUE(c.ok()) << int(c.problem) << " at " << c.line;
    ASSERT_EQ(c.points.Count(), 2);
    ASSERT_EQ(c.lines.Count(), 4);
    EXPECT_EQ(c.points.Item(1)->pntNO, 13.0f);
    EXPECT_EQ(c.points.Item(2)->pntNO, 15.0f);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(c.lines.Item(i)->ID, float(i == 4 ? 14 : 9 + i));
}

TEST(MydReader, FieldRules) {
    // Later fields are taken from the trimmed rest; the last one is the rest.
    MydContent c = ParseMyd("2 1   0  0 10 10    255   \r\n");
    ASSERT_TRUE(c.ok());
    ExpectSameDrawing(PointList{}, Lines({{1, 0, 0, 10, 10, 255}}), c.points, c.lines);

    // The field after the marker is not trimmed: a second blank makes it
    // empty (0), and the numbers move one field on; the last field reads its
    // digits across blanks.
    c = ParseMyd("1  5 3 4\r\n");
    ASSERT_TRUE(c.ok());
    ExpectSameDrawing(Points({{0, 5, 34}}), LineList{}, c.points, c.lines);

    // Fields read by the leading-number rule.
    c = ParseMyd("1 7abc 1D2 +.5x\r\n1 8 \t3 - 4\r\n");
    ASSERT_TRUE(c.ok());
    ExpectSameDrawing(Points({{7, 100, 0.5f}, {8, 3, -4}}), LineList{}, c.points, c.lines);
}

TEST(MydReader, EveryLineIsANewRecordAndNothingIsRenumbered) {
    const MydContent c = ParseMyd("1 5 0 0\r\n1 5 1 1\r\n1 2 2 2\r\n2 9 0 0 1 1  0\r\n2 9 0 0 1 1  0\r\n");
    ASSERT_TRUE(c.ok());
    ExpectSameDrawing(Points({{5, 0, 0}, {5, 1, 1}, {2, 2, 2}}), Lines({{9, 0, 0, 1, 1, 0}, {9, 0, 0, 1, 1, 0}}),
                      c.points, c.lines);
}

TEST(MydReader, LineEndsOfEveryKindAndEmptyLines) {
    const PointList expected = Points({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    for (const char* text : {"1 1 1 1\n1 2 2 2\n1 3 3 3\n", "1 1 1 1\n1 2 2 2\n1 3 3 3", "1 1 1 1\r\n1 2 2 2\r\n1 3 3 3",
                             "1 1 1 1\r1 2 2 2\r1 3 3 3\r", "\r\n1 1 1 1\r\n\r\n\n1 2 2 2\n\r\n1 3 3 3\r\n\r\n",
                             "\xEF\xBB\xBF" "1 1 1 1\r\n1 2 2 2\r\n1 3 3 3\r\n"}) {
        const MydContent c = ParseMyd(text);
        ASSERT_TRUE(c.ok()) << text;
        ExpectSameDrawing(expected, LineList{}, c.points, c.lines);
    }
    const MydContent empty = ParseMyd("");
    EXPECT_TRUE(empty.ok());
    EXPECT_TRUE(empty.points.Empty() && empty.lines.Empty());
    EXPECT_TRUE(ParseMyd("\r\n\r\n").ok());
}

TEST(MydReader, BlankLinesAndADosEndOfFileAreNoRecords) {
    const PointList expected = Points({{1, 1, 1}, {2, 2, 2}});
    for (const char* text : {"1 1 1 1\r\n   \r\n1 2 2 2\r\n", "  \r\n1 1 1 1\r\n \t \r\n1 2 2 2\r\n \r\n",
                             "1 1 1 1\r\n1 2 2 2\r\n\x1a", "1 1 1 1\r\n1 2 2 2\x1a", "1 1 1 1\n \n1 2 2 2\n\t\n\x1a"}) {
        const MydContent c = ParseMyd(text);
        ASSERT_TRUE(c.ok()) << text;
        ExpectSameDrawing(expected, LineList{}, c.points, c.lines);
    }
    EXPECT_TRUE(ParseMyd("\x1a").ok());
    EXPECT_TRUE(ParseMyd("   ").ok());
    // A line after a blank one still names its own number.
    const MydContent bad = ParseMyd("1 1 1 1\r\n  \r\n1 2\r\n");
    EXPECT_EQ(bad.problem, MydProblem::TooFewFields);
    EXPECT_EQ(bad.line, 3);
    // The end-of-file byte anywhere but at the very end is a control byte like any other.
    for (const char* text : {"1 1 1 1\x1a\r\n", "1 1 1 1\r\n\x1a\r\n1 2 2 2\r\n", "1 1 1 1\r\n\x1a\x1a", "\x1b"}) {
        const MydContent c = ParseMyd(text);
        EXPECT_EQ(c.problem, MydProblem::NotText) << text;
    }
}

TEST(MydReader, TooFewFieldsNamesTheLine) {
    struct Case {
        const char* text;
        int64_t line;
    };
    for (const Case& k : {Case{"1 2 3\r\n", 1}, Case{"1\r\n", 1}, Case{"2 1 0 0 10 10\r\n", 1},
                          Case{"1 1 1 1\r\n2 1 0 0 10\r\n", 2}, Case{"1 \r\n", 1}, Case{"1 1 1 1\r\n\r\n1 2", 3},
                          Case{"1 1 1 1\n1 2 3 \n", 2}, Case{"1 1 1 1\r\n2 1 0 0 10 10  255\r\n1.0 7 8", 3}}) {
        const MydContent c = ParseMyd(k.text);
        EXPECT_EQ(c.problem, MydProblem::TooFewFields) << k.text;
        EXPECT_EQ(c.line, k.line) << k.text;
        EXPECT_TRUE(c.points.Empty() && c.lines.Empty()) << k.text;
    }
}

TEST(MydReader, ValuesBeyondAFloatNameTheLine) {
    for (const char* text : {"1 1 1e39 0\r\n", "1 1 0 -3.5e38\r\n", "1 1e40 0 0\r\n", "2 1 0 0 0 0  1e40\r\n",
                             "2 1 0 1e99999 0 0  1\r\n"}) {
        const MydContent c = ParseMyd(std::string("1 1 1 1\r\n") + text);
        EXPECT_EQ(c.problem, MydProblem::OutOfRange) << text;
        EXPECT_EQ(c.line, 2) << text;
        EXPECT_TRUE(c.points.Empty()) << text;
    }
    const MydContent tiny = ParseMyd("1 1 1e-60 3.4028234e38\r\n");
    ASSERT_TRUE(tiny.ok());
    EXPECT_EQ(tiny.points.Item(1)->X, 0.0f);
    EXPECT_EQ(tiny.points.Item(1)->Y, FLT_MAX);
    // The marker is not stored: a huge one just makes a line record.
    EXPECT_TRUE(ParseMyd("1e400 1 0 0 1 1  0\r\n").ok());
}

TEST(MydReader, BinaryIsNotText) {
    using namespace std::string_literals;
    MydContent c = ParseMyd("1 1 1 1\r\n1 2\0 3 4\r\n"s);
    EXPECT_EQ(c.problem, MydProblem::NotText);
    EXPECT_EQ(c.line, 2);
    c = ParseMyd("1 1 1 1\x1a\r\n");
    EXPECT_EQ(c.problem, MydProblem::NotText);
    EXPECT_EQ(c.line, 1);
    c = ParseMyd("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s);
    EXPECT_EQ(c.problem, MydProblem::NotText);
    EXPECT_EQ(c.line, 2);
    c = ParseMyd("\xFF\xFE" "1\0 \0"s);  // UTF-16
    EXPECT_EQ(c.problem, MydProblem::NotText);
    // A binary file is named as such even when an earlier line is also bad.
    c = ParseMyd("1 1\r\n1 1 1 1\r\r\n\0"s);
    EXPECT_EQ(c.problem, MydProblem::NotText);
    EXPECT_EQ(c.line, 4);
    std::string big(100000, ' ');
    big[70000] = '\x7f';
    c = ParseMyd(big);
    EXPECT_EQ(c.problem, MydProblem::NotText);
    EXPECT_EQ(c.line, 1);
    // Tabs and bytes of a code page are text.
    EXPECT_TRUE(ParseMyd("1 1 2\t 3\r\n2 1 0 0 1 \xB5\xE3 1  \xA1\r\n").ok());
}

// Parsed in chunks of any size, read from a file in blocks of any size: the
// same records in the same order, the same problem on the same line.
TEST(MydReader, ChunksAndBlocksOfAnySizeReadTheSame) {
    using namespace std::string_literals;
    const std::string good =
        "\xEF\xBB\xBF" "1 1 1 1\r\n2 1 0 0 10 10  255\r\n\r\n1 2 2 2\n1 3 3 3\r2 2 5 6 7 8  65535\r\n"
        "\n\r\n1 4 -0.5 1E-05\r\n2 3 1 2 3 4 -7\r1 5 5 5"s;
    const std::vector<std::string> texts = {
        good,
        good + "\r\n1 6 6\r\n1 7 7 7\r\n",                  // too few fields on line 12
        "1 1 1 1\r\n1 2\r\n1 3 3 3\r\n1 4 4\0 4\r\n"s,     // binary on line 4 outranks line 2
        "1 1 1 1\n\n\n2 1 0 0 1e39 0  1\n1 2 2 2\n"s,      // out of range on line 4
        "\r\r\r\r1 1 1 1\r\r1 2 2 2\r"s,
    };
    TempDir dir;
    const std::string path = dir.File("chunks.myd");
    for (const std::string& text : texts) {
        const MydContent whole = ParseMyd(text, text.size() + 1);
        testfiles::WriteBytes(path, text);
        for (std::size_t size = 1; size <= 40; ++size) {
            for (const MydContent& c : {ParseMyd(text, size), LoadMydFile(path, size)}) {
                ASSERT_EQ(c.problem, whole.problem) << size << ": " << text;
                ASSERT_EQ(c.line, whole.line) << size << ": " << text;
                ExpectSameDrawing(whole.points, whole.lines, c.points, c.lines);
            }
        }
    }
    const MydContent first = ParseMyd(texts[0], 1);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.points.Count(), 5);
    EXPECT_EQ(first.lines.Count(), 3);
    EXPECT_EQ(first.points.Item(4)->Y, 1e-5f);
    EXPECT_EQ(ParseMyd(texts[1], 3).line, 12);
    EXPECT_EQ(ParseMyd(texts[2], 3).problem, MydProblem::NotText);
    EXPECT_EQ(ParseMyd(texts[2], 3).line, 4);
    EXPECT_EQ(LoadMydFile(path, 2).points.Count(), 2);
}

// A record taken from a loaded drawing stays readable after the drawing is gone.
TEST(MydReader, LoadedRecordsOutliveTheirLists) {
    std::string text;
    for (int i = 1; i <= 20000; ++i) text += "1 " + std::to_string(i) + " 1 2\r\n2 " + std::to_string(i) + " 0 0 3 4  255\r\n";
    MydContent c = ParseMyd(text, 4096);
    ASSERT_TRUE(c.ok());
    ASSERT_EQ(c.points.Count(), 20000);
    const std::shared_ptr<CPoint> point = c.points.Item(12345);
    const std::shared_ptr<CLine> line = c.lines.Item(20000);
    c = MydContent{};
    EXPECT_EQ(point->pntNO, 12345.0f);
    EXPECT_EQ(point->Y, 2.0f);
    EXPECT_EQ(line->ID, 20000.0f);
    EXPECT_EQ(line->color, 255.0f);
}

// ---- round trips ----

TEST(MydRoundTrip, LoadThenSaveGivesTheSameBytes) {
    const std::string file =
        "1 1 12.5 -4\r\n"
        "1 2 0.5 -0.25\r\n"
        "1 5 1E-05 1.234568E+07\r\n"
        "1 5 -162.5563 99.99999\r\n"
        "2 1 0 0 10 10  255\r\n"
        "2 2 -1.5 2.25 1.5E-10 -3  16711680\r\n"
        "2 7 3.402823E+38 -0.0001 0.3333333 1.0000001  65535\r\n";
    const MydContent c = ParseMyd(file);
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(WriteMydText(c.points, c.lines), file);
}

TEST(MydRoundTrip, NumbersOfSevenSignificantDigits) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> mantissa(-9999999, 9999999), exponent(-12, 12);
    auto number = [&] {
        const std::string text = std::to_string(mantissa(rng)) + "E" + std::to_string(exponent(rng));
        return ReadNumber(text).value;
    };
    PointList points;
    LineList lines;
    for (int i = 0; i < 20000; ++i) {
        auto p = std::make_shared<CPoint>();
        *p = CPoint{number(), number(), number(), true};
        points.Add(p);
        auto l = std::make_shared<CLine>();
        l->ID = number();
        l->sp = CPoint{9, number(), number(), true};
        l->ep = CPoint{9, number(), number(), true};
        l->IsSelect = true;
        l->color = float(rng() % 0x1000000);
        lines.Add(l);
    }
    const std::string text = WriteMydText(points, lines);
    const MydContent c = ParseMyd(text);
    ASSERT_TRUE(c.ok());
    ExpectSameDrawing(points, lines, c.points, c.lines);
    EXPECT_EQ(WriteMydText(c.points, c.lines), text);
}

TEST(MydRoundTrip, ArbitraryFiniteFloats) {
    std::mt19937 rng(13);
    auto number = [&] {
        for (;;) {
            const float v = std::bit_cast<float>(static_cast<uint32_t>(rng()));
            if (std::isfinite(v)) return v;
        }
    };
    PointList points;
    LineList lines;
    for (int i = 0; i < 20000; ++i) {
        auto p = std::make_shared<CPoint>();
        *p = CPoint{number(), number(), number(), false};
        points.Add(p);
        auto l = std::make_shared<CLine>();
        l->ID = number();
        l->sp.X = number();
        l->sp.Y = number();
        l->ep.X = number();
        l->ep.Y = number();
        l->color = number();
        lines.Add(l);
    }
    const MydContent c = ParseMyd(WriteMydText(points, lines));
    ASSERT_TRUE(c.ok());
    ExpectSameDrawing(points, lines, c.points, c.lines);
}

// ---- files ----

TEST(MydFiles, SaveThenLoad) {
    TempDir dir;
    const std::string path = dir.File("drawing.myd");
    const PointList points = Points({{1, 12.5f, -4}, {2, 0.5f, 1e-5f}});
    const LineList lines = Lines({{1, 0, 0, 10, 10, 255}});
    ASSERT_TRUE(SaveMydFile(path, points, lines));
    EXPECT_EQ(testfiles::ReadBytes(path), WriteMydText(points, lines));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"drawing.myd"});  // nothing left beside it

    const MydContent c = LoadMydFile(path);
    ASSERT_TRUE(c.ok());
    ExpectSameDrawing(points, lines, c.points, c.lines);

    ASSERT_TRUE(SaveMydFile(path, PointList{}, LineList{}));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    const MydContent empty = LoadMydFile(path);
    EXPECT_TRUE(empty.ok() && empty.points.Empty() && empty.lines.Empty());
}

TEST(MydFiles, SaveReplacesAnEarlierFileAndKeepsItsPermissions) {
    TempDir dir;
    const std::string path = dir.File("old.myd");
    testfiles::WriteBytes(path, std::string(100000, 'x'));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(SaveMydFile(path, Points({{1, 2, 3}}), LineList{}));
    EXPECT_EQ(testfiles::ReadBytes(path), "1 1 2 3\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.Entries().size(), 1u);
}

TEST(MydFiles, SaveUnderTheLongestFileName) {
    TempDir dir;
    const std::string path = dir.File(std::string(250, 'n') + ".myd");  // 254 bytes, near the usual limit
    ASSERT_TRUE(SaveMydFile(path, Points({{1, 2, 3}}), LineList{}));
    EXPECT_EQ(testfiles::ReadBytes(path), "1 1 2 3\r\n");
    EXPECT_EQ(dir.Entries().size(), 1u);
}

TEST(MydFiles, SaveThroughALinkReplacesTheFileItPointsTo) {
    TempDir dir;
    const std::string file = dir.File("real.myd"), link = dir.File("link.myd");
    testfiles::WriteBytes(file, "old");
    std::filesystem::create_symlink(file, link);
    ASSERT_TRUE(SaveMydFile(link, Points({{1, 2, 3}}), LineList{}));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(testfiles::ReadBytes(file), "1 1 2 3\r\n");
}

TEST(MydFiles, LoadOfWhatIsNoReadableFile) {
    TempDir dir;
    EXPECT_EQ(LoadMydFile(dir.File("missing.myd")).problem, MydProblem::CannotOpen);
    EXPECT_EQ(LoadMydFile(dir.path().string()).problem, MydProblem::CannotOpen);
    EXPECT_EQ(LoadMydFile("").problem, MydProblem::CannotOpen);
    if (std::filesystem::exists("/dev/zero")) {
        EXPECT_EQ(LoadMydFile("/dev/zero").problem, MydProblem::CannotOpen);
    }
}

TEST(MydFiles, FailedSavesLeaveTheEarlierFile) {
    TempDir dir;
    const PointList points = Points({{1, 2, 3}, {4, 5, 6}});
    const std::string old = "1 9 9 9\r\n";

    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(SaveMydFile("/dev/full", points, LineList{}));  // no space on this device
    }

    const std::string plain = dir.File("plain");
    testfiles::WriteBytes(plain, old);
    EXPECT_FALSE(SaveMydFile(plain + "/inside.myd", points, LineList{}));  // its folder is a file
    EXPECT_EQ(testfiles::ReadBytes(plain), old);

    const std::string folder = dir.File("folder.myd");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(SaveMydFile(folder, points, LineList{}));
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    EXPECT_FALSE(SaveMydFile("", points, LineList{}));
    EXPECT_EQ(dir.Entries().size(), 2u);
}

TEST(MydFiles, PipeWithoutAReaderFailsInsteadOfWaiting) {
    TempDir dir;
    const std::string pipe = dir.File("pipe.myd");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(SaveMydFile(pipe, Points({{1, 2, 3}}), LineList{}));
    EXPECT_EQ(LoadMydFile(pipe).problem, MydProblem::CannotOpen);
}

TEST(MydFiles, DiskFullDuringTheSaveLeavesTheEarlierFile) {
    TempDir dir;
    const std::string path = dir.File("drawing.myd");
    const std::string old = "1 9 9 9\r\n";
    testfiles::WriteBytes(path, old);
    PointList points;
    for (int i = 0; i < 100000; ++i) points.Add(std::make_shared<CPoint>(CPoint{float(i), 1.5f, 2.5f, false}));
    bool saved = true;
    {
        testfiles::FileSizeLimit limit(64 * 1024);
        saved = SaveMydFile(path, points, LineList{});
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(testfiles::ReadBytes(path), old);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"drawing.myd"});  // the partial file is gone
}

TEST(MydFiles, ReadOnlyFolderOrFileLeavesTheEarlierFile) {
    if (testfiles::RunningAsRoot()) GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir dir;
    const std::string sub = dir.File("locked");
    std::filesystem::create_directory(sub);
    const std::string inLocked = sub + "/drawing.myd", protectedFile = dir.File("protected.myd");
    testfiles::WriteBytes(inLocked, "old");
    testfiles::WriteBytes(protectedFile, "old");
    ASSERT_EQ(::chmod(sub.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(protectedFile.c_str(), 0444), 0);
    EXPECT_FALSE(SaveMydFile(inLocked, Points({{1, 2, 3}}), LineList{}));
    EXPECT_FALSE(SaveMydFile(protectedFile, Points({{1, 2, 3}}), LineList{}));
    EXPECT_EQ(testfiles::ReadBytes(inLocked), "old");
    EXPECT_EQ(testfiles::ReadBytes(protectedFile), "old");
}
