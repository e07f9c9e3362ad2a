// The text drawing file: its number forms, its reading rules, real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <random>

#include "storage/mydfile.h"
#include "support/file_helpers.h"

namespace {

// A drawing in one line: "P no x y" and "L id x1 y1 x2 y2 colour" with every
// float in its shortest exact form; or the problem of a load and its line.
std::string Dump(const MydContent& c) {
    static const char* const kProblems[] = {"", "cannot open", "cannot read", "not text", "too few fields", "out of range"};
    if (!c.ok()) return std::string(kProblems[int(c.problem)]) + " @" + std::to_string(c.line);
    std::string out;
    auto record = [&out](const char* kind, std::initializer_list<float> values) {
        out += out.empty() ? kind : std::string(", ") + kind;
        for (float v : values) {
            char text[32];
            out.append(" ").append(text, std::to_chars(text, text + sizeof text, v).ptr);
        }
    };
    for (const auto& p : c.points) record("P", {p->pntNO, p->X, p->Y});
    for (const auto& l : c.lines) record("L", {l->ID, l->sp.X, l->sp.Y, l->ep.X, l->ep.Y, l->color});
    return out;
}

}  // namespace

// Read and written again, every number form comes out to the byte.
TEST(MydWriter, EveryNumberFormToTheByteAndBackAgain) {
    const std::string text =
        "1 1 12.5 -4\r\n1 2 0.5 -0.25\r\n1 3 1E-05 1.234568E+07\r\n1 -7 0 100\r\n1 4 1.2345678E+07 1.0000001\r\n"
        "2 1 0 0 10 10  255\r\n2 2 -1.5 2.25 1E-05 -3  16711680\r\n2 3 1 2 3 4 -5\r\n"
        "2 4 0.0001 -0.00012 9999999 1E+07  65535.5\r\n2 5 1.5E-10 0 3.4028235E+38 1  0\r\n";
    const MydContent d = ParseMyd(text);
    EXPECT_EQ(Dump(d), "P 1 12.5 -4, P 2 0.5 -0.25, P 3 1e-05 12345680, P -7 0 100, P 4 12345678 1.0000001, "
                       "L 1 0 0 10 10 255, L 2 -1.5 2.25 1e-05 -3 16711680, L 3 1 2 3 4 -5, "
                       "L 4 1e-04 -0.00012 9999999 1e+07 65535.5, L 5 1.5e-10 0 3.4028235e+38 1 0");
    EXPECT_EQ(WriteMydText(d.points, d.lines), text);
    EXPECT_EQ(WriteMydText({}, {}), "");
}

// The fast number paths agree with the shared rules, and every text reads back.
TEST(MydNumbers, FastFormsAgreeWithTheSharedRulesAndReadBack) {
    std::vector<float> values = {0.0f, 1e7f, 9999999, FLT_MAX, FLT_MIN, FLT_TRUE_MIN, 0.1f, 1e15f, 65535.5f, NAN, INFINITY};
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
            ASSERT_TRUE(!std::isfinite(s) || ReadFieldNumber(text).value == s) << text;
        }
    }
    auto same = [](std::string_view text) {
        const NumberRead fast = ReadFieldNumber(text), rule = ReadNumber(text);
        return fast.fits == rule.fits && std::bit_cast<uint32_t>(fast.value) == std::bit_cast<uint32_t>(rule.value);
    };
    for (const char* text : {"1e39", "-1e39", "1e-60", "3.4028236e38", "0000000000000000000000000000000000000001"})
        EXPECT_TRUE(same(text)) << text;
    const std::string alphabet = "0123456789.-+eEdD \tx";
    for (int i = 0; i < 100000; ++i) {
        std::string text(rng() % 16, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        ASSERT_TRUE(same(text)) << '"' << text << '"';
    }
}

// Read whole, in chunks and from a file in blocks of 1 to 40 bytes: the same
// records in the same order, or the same problem on the same line.
TEST(MydReader, RulesHoldForAnyChunkAndBlockSize) {
    using namespace std::string_literals;
    const std::pair<std::string, const char*> cases[] = {
        // Only a marker that reads as exactly 1 makes a point.
        {"1 3 12.5 -4\r\n2 1 0 0 10 10  255\r\n0 10 1 2 3 4  5\r\n1.0 13 1 2\r\nabc 14 1 2 3 4 -5\r\n+1 1 -0.5 1.234568E+07\r\n"
         "10e-1 2 0 0\r\n1D0 4 0 0\r\n1x 5 0 0\r\n1.00001 6 1 2 3 4 5\r\n11 7 1 2 3 4 5\r\n1e400 8 1 2 3 4 5\r\n-1 9 1 2 3 4 5\r\n",
         "P 3 12.5 -4, P 13 1 2, P 1 -0.5 12345680, P 2 0 0, P 4 0 0, P 5 0 0, L 1 0 0 10 10 255, L 10 1 2 3 4 5, "
         "L 14 1 2 3 4 -5, L 6 1 2 3 4 5, L 7 1 2 3 4 5, L 8 1 2 3 4 5, L 9 1 2 3 4 5"},
        // Later fields come from the trimmed rest, the last one is the whole
        // rest; the field after the marker is taken as it stands.
        {"2 1   0  0 10 10    255   \r\n1  5 3 4\r\n1 7abc 1D2 +.5x\r\n1 8 \t3 - 4\r\n",
         "P 0 5 34, P 7 100 0.5, P 8 3 -4, L 1 0 0 10 10 255"},
        {"\xEF\xBB\xBF" "1 1 1 1\n\r\n  \r\n1 2 2 2\r1 3 3 3\r\n \t \r\n\n1 4 4 4\x1a", "P 1 1 1, P 2 2 2, P 3 3 3, P 4 4 4"},
        {"1 1 2\t 3\r\n2 1 0 0 1 \xB5\xE3 1  \xA1\r\n", "P 1 2 3, L 1 0 0 1 0 1"},
        {"1 1 1e-60 3.4028234e38\r\n1e400 1 0 0 1 1  0\r\n", "P 1 0 3.4028235e+38, L 1 0 0 1 1 0"},
        {"  \r\n\x1a", ""},
        {"1 1 1 1\r\n\xEF\xBB\xBF" "1 2 2 2\r\n", "too few fields @2"},  // a byte order mark only counts in front
        {"1 1 1 1\r\n\r\n2 1 0 0 10 10\r\n1 2 2 2\r\n", "too few fields @3"},
        {"1 \r\n", "too few fields @1"},
        {"1 1 1 1\r\n1 2 1e39 0\r\n", "out of range @2"},
        {"2 1 0 0 1 1  -4e38\n", "out of range @1"},
        {"1 1 1 1\r\n1 2\0 3 4\r\n"s, "not text @2"},
        {"1 1 1 1\x1a\r\n1 2 2 2\r\n", "not text @1"},
        {"1 1 1 1\r\n1 2 2 2\x7f\r\n", "not text @2"},
        {"1 1\r\n1 1 1 1\r\r\n\0"s, "not text @4"},  // a binary file is named so even after a bad line
        {std::string(256, ' ') + "\x01" + std::string(300, ' '), "not text @1"},
    };
    testfiles::TempDir dir;
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

// Any floats come back as they were, and stay readable after the drawing is gone.
TEST(MydReader, AnyFiniteDrawingReadsBackExactly) {
    std::mt19937 rng(13);
    auto v = [&] {
        float x;
        do x = std::bit_cast<float>(static_cast<uint32_t>(rng()));
        while (!std::isfinite(x));
        return x;
    };
    MydContent d;
    for (int i = 0; i < 15000; ++i) {
        d.points.Add(std::make_shared<CPoint>(CPoint{v(), v(), v(), true}));
        d.lines.Add(std::make_shared<CLine>(CLine{v(), {9, v(), v(), true}, {9, v(), v(), true}, true, v()}));
    }
    MydContent back = ParseMyd(WriteMydText(d.points, d.lines), 64 * 1024);
    EXPECT_EQ(Dump(back), Dump(d));
    const std::shared_ptr<CPoint> point = back.points.Item(12345);
    back = MydContent{};
    EXPECT_EQ(point->X, d.points.Item(12345)->X);
}

// A save replaces the file whole (through a link, the file it points to); what
// can't be read or written fails and leaves the earlier file as it was.
TEST(MydFiles, SavesReplaceWholeFilesOrFailAndLoadsReadOnlyRegularFiles) {
    testfiles::TempDir dir;
    const std::string path = dir.File(std::string(250, 'n') + ".myd"), link = dir.File("link.myd");  // near the name limit
    const std::string pipe = dir.File("pipe.myd"), folder = dir.File("folder.myd");
    testfiles::WriteBytes(path, std::string(100000, 'x'));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    std::filesystem::create_symlink(path, link);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    const MydContent d = ParseMyd("1 1 12.5 -4\r\n2 1 0 0 10 10  255\r\n");
    ASSERT_TRUE(SaveMydFile(link, d.points, d.lines));
    EXPECT_EQ(testfiles::ReadBytes(path), "1 1 12.5 -4\r\n2 1 0 0 10 10  255\r\n");
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    {  // started with its standard input closed, the new file may get descriptor 0
        const int input = ::dup(0);
        ::close(0);
        const bool saved = SaveMydFile(dir.File("new.myd"), d.points, d.lines);
        ::dup2(input, 0), ::close(input);
        EXPECT_TRUE(saved && testfiles::ReadBytes(dir.File("new.myd")) == testfiles::ReadBytes(path));
    }
    EXPECT_EQ(Dump(LoadMydFile(path)), "P 1 12.5 -4, L 1 0 0 10 10 255");
    EXPECT_TRUE(SaveMydFile("/dev/null", d.points, d.lines));  // a device is written as it is
    for (const std::string& bad : {dir.File("missing.myd"), folder, std::string(), std::string("/dev/zero"), pipe})
        EXPECT_EQ(Dump(LoadMydFile(bad)), "cannot open @0") << bad;

    MydContent big;
    for (int i = 0; i < 50000; ++i) big.points.Add(std::make_shared<CPoint>(CPoint{float(i), 1.5f, 2.5f, false}));
    for (const std::string& bad : {path + "/inside.myd", folder, std::string(), std::string("/dev/full"), pipe})
        EXPECT_FALSE(SaveMydFile(bad, big.points, big.lines)) << bad;
    {
        testfiles::FileSizeLimit limit(64 * 1024);  // the disk fills up part way
        EXPECT_FALSE(SaveMydFile(path, big.points, big.lines));
    }
    EXPECT_EQ(testfiles::ReadBytes(path), "1 1 12.5 -4\r\n2 1 0 0 10 10  255\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder.myd", "link.myd", "new.myd", std::string(250, 'n') + ".myd", "pipe.myd"}));
}
