// The text drawing file: its number forms, its reading rules, and saving and
// loading real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <random>

#include "storage/mydfile.h"
#include "support/file_helpers.h"

using testfiles::TempDir;

namespace {

struct Drawing {
    PointList points;
    LineList lines;
};

// Points are {no, x, y}, lines {id, x1, y1, x2, y2, colour}.
Drawing Make(std::initializer_list<std::vector<float>> records) {
    Drawing d;
    for (const auto& r : records) {
        if (r.size() == 3) {
            d.points.Add(std::make_shared<CPoint>(CPoint{r[0], r[1], r[2], false}));
            continue;
        }
        auto l = std::make_shared<CLine>();
        *l = CLine{r[0], CPoint{0, r[1], r[2], false}, CPoint{0, r[3], r[4], false}, false, r[5]};
        d.lines.Add(l);
    }
    return d;
}

// What a load gave, in one line: "P no x y" and "L id x1 y1 x2 y2 colour"
// with every float in its shortest exact form, or the problem and its line.
std::string Dump(const PointList& points, const LineList& lines) {
    std::string out;
    auto record = [&out](char kind, std::initializer_list<float> values) {
        out += out.empty() ? "" : ", ";
        out += kind;
        for (float v : values) {
            char text[32];
            out += ' ';
            out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
        }
    };
    for (const auto& p : points) record('P', {p->pntNO, p->X, p->Y});
    for (const auto& l : lines) record('L', {l->ID, l->sp.X, l->sp.Y, l->ep.X, l->ep.Y, l->color});
    return out;
}
std::string Dump(const MydContent& c) {
    static const char* const kProblems[] = {"", "cannot open", "cannot read", "not text", "too few fields", "out of range"};
    return c.ok() ? Dump(c.points, c.lines) : std::string(kProblems[int(c.problem)]) + " @" + std::to_string(c.line);
}

}  // namespace

TEST(MydWriter, EveryNumberFormToTheByteAndBackAgain) {
    const Drawing d = Make({{1, 12.5f, -4}, {2, 0.5f, -0.25f}, {3, 1e-5f, 12345680}, {-7, 0, 100},
                            {4, 12345678, std::nextafter(1.0f, 2.0f)},  // 7 digits would not read back
                            {1, 0, 0, 10, 10, 255}, {2, -1.5f, 2.25f, 1e-5f, -3, 16711680}, {3, 1, 2, 3, 4, -5},
                            {4, 0.0001f, -0.00012f, 9999999, 1e7f, 65535.5f}, {5, 1.5e-10f, -0.0f, FLT_MAX, 1, 0}});
    const std::string text =
        "1 1 12.5 -4\r\n1 2 0.5 -0.25\r\n1 3 1E-05 1.234568E+07\r\n1 -7 0 100\r\n1 4 1.2345678E+07 1.0000001\r\n"
        "2 1 0 0 10 10  255\r\n2 2 -1.5 2.25 1E-05 -3  16711680\r\n2 3 1 2 3 4 -5\r\n"
        "2 4 0.0001 -0.00012 9999999 1E+07  65535.5\r\n2 5 1.5E-10 0 3.4028235E+38 1  0\r\n";
    EXPECT_EQ(WriteMydText(d.points, d.lines), text);
    const MydContent back = ParseMyd(text);
    EXPECT_EQ(WriteMydText(back.points, back.lines), text);
    EXPECT_EQ(WriteMydText({}, {}), "");
}

// The writer's and reader's fast paths against the shared number rules, on
// edge values and on a few hundred thousand random ones.
TEST(MydNumbers, FastFormsAgreeWithTheSharedRulesAndReadBack) {
    std::vector<float> values = {0.0f, 1e7f, 9999999, 12345678, FLT_MAX, FLT_MIN, FLT_TRUE_MIN, 0.1f, 1e15f,
                                 65535.5f, 8.589934e9f, NAN, INFINITY};
    for (int e = -149; e <= 127; ++e) values.push_back(std::ldexp(1.0f, e));
    for (int e = -45; e <= 38; ++e) values.push_back(std::pow(10.0f, float(e)));
    for (std::size_t i = 0, n = values.size(); i < n; ++i)
        values.insert(values.end(), {std::nextafter(values[i], 0.0f), std::nextafter(values[i], INFINITY)});
    std::mt19937 rng(99);
    for (int i = 0; i < 200000; ++i) values.push_back(std::bit_cast<float>(static_cast<uint32_t>(rng())));
    for (int i = 0; i < 50000; ++i) values.push_back(float(rng() % 0x1000000) / (i % 2 ? 1.0f : 64.0f));
    for (float v : values) {
        for (float s : {v, -v}) {
            char buffer[kMaxMydNumber];
            const std::string text(buffer, PutFileNumber(buffer, s));
            ASSERT_EQ(text, FileNumber(s)) << std::bit_cast<uint32_t>(s);
            ASSERT_EQ(std::string(buffer, PutSignedColor(buffer, s)), SignedColor(s)) << std::bit_cast<uint32_t>(s);
            if (std::isfinite(s)) {
                ASSERT_EQ(ReadFieldNumber(text).value, s) << text;
            }
        }
    }

    auto same = [](std::string_view text) {
        const NumberRead fast = ReadFieldNumber(text), rule = ReadNumber(text);
        return fast.fits == rule.fits && std::bit_cast<uint32_t>(fast.value) == std::bit_cast<uint32_t>(rule.value);
    };
    for (const char* text : {"", "-0", "12.5", "1E-05", "1e39", "-1e39", "1e-60", "3.4028235e38", "3.4028236e38", "1D2",
                             "+5", ".5", "-.5", "5.", "inf", "nan", "1e", "1e+", "0x10", "1 2", "12abc", "1.5.5", "--1",
                             "0000000000000000000000000000000000000001", "1234567890123456789", "12345678901234567890"})
        EXPECT_TRUE(same(text)) << '"' << text << '"';
    const std::string alphabet = "0123456789.-+eEdD \tx";
    for (int i = 0; i < 100000; ++i) {
        std::string text(rng() % 16, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        ASSERT_TRUE(same(text)) << '"' << text << '"';
    }
}

TEST(MydReader, OnlyAMarkerOfExactlyOneMakesAPoint) {
    for (const char* m : {"1", "1.0", "01", "+1", "1e0", "10e-1", "0.1E1", "1D0", "1.", "1e", "1x", "1\t", " 1"})
        EXPECT_TRUE(MarkerIsPoint(m)) << m;
    for (const char* m : {"2", "0", "-1", "abc", "", "1.5", "11", "1.00001", ".", "-", "x1", "inf", "1e400", "\r1"})
        EXPECT_FALSE(MarkerIsPoint(m)) << m;
}

// Each text read whole, in chunks of 1 to 40 bytes, and from a file in blocks
// of 1 to 40 bytes: the same records in the same order, or the same problem
// on the same line.
TEST(MydReader, RulesHoldForAnyChunkAndBlockSize) {
    using namespace std::string_literals;
    const std::pair<std::string, const char*> cases[] = {
        {"1 3 12.5 -4\r\n2 1 0 0 10 10  255\r\n0 10 1 2 3 4  5\r\n1.0 13 1 2\r\nabc 14 1 2 3 4 -5\r\n1 1 -0.5 1.234568E+07\r\n",
         "P 3 12.5 -4, P 13 1 2, P 1 -0.5 12345680, L 1 0 0 10 10 255, L 10 1 2 3 4 5, L 14 1 2 3 4 -5"},
        // Later fields come from the trimmed rest, the last one is the whole
        // rest; the field after the marker is taken as it stands.
        {"2 1   0  0 10 10    255   \r\n1  5 3 4\r\n1 7abc 1D2 +.5x\r\n1 8 \t3 - 4\r\n",
         "P 0 5 34, P 7 100 0.5, P 8 3 -4, L 1 0 0 10 10 255"},
        {"\xEF\xBB\xBF" "1 1 1 1\n\r\n  \r\n1 2 2 2\r1 3 3 3\r\n \t \r\n\n1 4 4 4\x1a", "P 1 1 1, P 2 2 2, P 3 3 3, P 4 4 4"},
        {"1 1 2\t 3\r\n2 1 0 0 1 \xB5\xE3 1  \xA1\r\n", "P 1 2 3, L 1 0 0 1 0 1"},
        {"1 1 1e-60 3.4028234e38\r\n1e400 1 0 0 1 1  0\r\n", "P 1 0 3.4028235e+38, L 1 0 0 1 1 0"},
        {"", ""},
        {"  \r\n\x1a", ""},
        {"1 1 1 1\r\n\xEF\xBB\xBF" "1 2 2 2\r\n", "too few fields @2"},  // a byte order mark only counts in front
        {"1 1 1 1\r\n\r\n2 1 0 0 10 10\r\n1 2 2 2\r\n", "too few fields @3"},
        {"1 \r\n", "too few fields @1"},
        {"1 1 1 1\r\n1 2 1e39 0\r\n", "out of range @2"},
        {"2 1 0 0 1 1  -4e38\n", "out of range @1"},
        {"1 1 1 1\r\n1 2\0 3 4\r\n"s, "not text @2"},
        {"1 1 1 1\x1a\r\n1 2 2 2\r\n", "not text @1"},
        {"1 1\r\n1 1 1 1\r\r\n\0"s, "not text @4"},  // a binary file is named so even after a bad line
        {std::string(256, ' ') + "\x01" + std::string(300, ' '), "not text @1"},
    };
    TempDir dir;
    const std::string path = dir.File("chunks.myd");
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        testfiles::WriteBytes(path, text);
        EXPECT_EQ(Dump(ParseMyd(text)), expected);
        EXPECT_EQ(Dump(LoadMydFile(path)), expected);
        for (std::size_t size = 1; size <= 40; ++size) {
            ASSERT_EQ(Dump(ParseMyd(text, size)), expected) << size;
            ASSERT_EQ(Dump(LoadMydFile(path, size)), expected) << size;
        }
    }
}

// Random floats of every kind, written and read back in many chunks: every
// record comes back as it was, and stays readable after the drawing is gone.
TEST(MydReader, AnyFiniteDrawingReadsBackExactly) {
    std::mt19937 rng(13);
    auto number = [&] {
        for (;;) {
            if (const float v = std::bit_cast<float>(static_cast<uint32_t>(rng())); std::isfinite(v)) return v;
        }
    };
    Drawing d;
    for (int i = 0; i < 20000; ++i) {
        d.points.Add(std::make_shared<CPoint>(CPoint{number(), number(), number(), true}));
        auto l = std::make_shared<CLine>();
        *l = CLine{number(), CPoint{9, number(), number(), true}, CPoint{9, number(), number(), true}, true, number()};
        d.lines.Add(l);
    }
    const std::string text = WriteMydText(d.points, d.lines);
    MydContent back = ParseMyd(text, 64 * 1024);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(Dump(back), Dump(d.points, d.lines));
    EXPECT_EQ(WriteMydText(back.points, back.lines), text);
    for (const auto& l : back.lines) ASSERT_TRUE(!l->IsSelect && !l->sp.IsSelect && l->sp.pntNO == 0 && l->ep.pntNO == 0);
    const std::shared_ptr<CPoint> point = back.points.Item(12345);
    const std::shared_ptr<CLine> line = back.lines.Item(20000);
    back = MydContent{};
    EXPECT_EQ(point->X, d.points.Item(12345)->X);
    EXPECT_EQ(line->color, d.lines.Item(20000)->color);
}

TEST(MydFiles, SaveReplacesTheFileWholeAndLeavesNothingBeside) {
    TempDir dir;
    const std::string path = dir.File(std::string(250, 'n') + ".myd");  // near the usual name length limit
    testfiles::WriteBytes(path, std::string(100000, 'x'));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const Drawing d = Make({{1, 12.5f, -4}, {1, 0, 0, 10, 10, 255}});
    ASSERT_TRUE(SaveMydFile(path, d.points, d.lines));
    EXPECT_EQ(testfiles::ReadBytes(path), "1 1 12.5 -4\r\n2 1 0 0 10 10  255\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.Entries().size(), 1u);
    EXPECT_EQ(Dump(LoadMydFile(path)), "P 1 12.5 -4, L 1 0 0 10 10 255");

    // Through a link: the file it points to, and the link stays a link.
    const std::string link = dir.File("link.myd");
    std::filesystem::create_symlink(path, link);
    ASSERT_TRUE(SaveMydFile(link, {}, {}));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(testfiles::ReadBytes(path), "");
    EXPECT_TRUE(SaveMydFile("/dev/null", d.points, d.lines));  // a device is written as it is
}

TEST(MydFiles, WhatCannotBeReadOrWrittenFailsAndKeepsTheEarlierFile) {
    TempDir dir;
    const std::string pipe = dir.File("pipe.myd"), plain = dir.File("plain.myd"), folder = dir.File("folder.myd");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    testfiles::WriteBytes(plain, "1 9 9 9\r\n");
    for (const std::string& path : {dir.File("missing.myd"), folder, std::string(), std::string("/dev/zero"), pipe})
        EXPECT_EQ(Dump(LoadMydFile(path)), "cannot open @0") << path;

    Drawing d;
    for (int i = 0; i < 50000; ++i) d.points.Add(std::make_shared<CPoint>(CPoint{float(i), 1.5f, 2.5f, false}));
    for (const std::string& path : {plain + "/inside.myd", folder, std::string(), std::string("/dev/full"), pipe})
        EXPECT_FALSE(SaveMydFile(path, d.points, d.lines)) << path;
    {
        testfiles::FileSizeLimit limit(64 * 1024);  // the disk fills up part way
        EXPECT_FALSE(SaveMydFile(plain, d.points, d.lines));
    }
    if (!testfiles::RunningAsRoot()) {  // permissions do not bind the superuser
        ASSERT_EQ(::chmod(plain.c_str(), 0444), 0);
        EXPECT_FALSE(SaveMydFile(plain, d.points, d.lines));
    }
    EXPECT_EQ(testfiles::ReadBytes(plain), "1 9 9 9\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder.myd", "pipe.myd", "plain.myd"}));
}
