#include "storage/mydfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "storage/recordblocks.h"

// ---- numbers ----

namespace {

char* PutText(char* out, const std::string& text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Powers of ten that a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPow10 = 22;
constexpr uint64_t kPow10[] = {1,         10,         100,         1000,         10000,
                               100000,    1000000,    10000000,    100000000,    1000000000,
                               10000000000};

// m * 10^e rounded to the nearest float, when double arithmetic can tell for
// sure: both factors are exact doubles, so one multiplication or division
// rounds once, and the float nearest to that double is the float nearest to
// the exact value unless the double fell exactly on a midpoint between two
// floats. False where it can't tell (and for results outside the normal floats).
bool DecimalToFloat(uint64_t m, int e, float& out) {
    if (m == 0) {
        out = 0.0f;
        return true;
    }
    if (m > (uint64_t{1} << 53) || e < -kMaxExactPow10 || e > kMaxExactPow10) return false;
    const double d = e < 0 ? double(m) / kExactPow10[-e] : double(m) * kExactPow10[e];
    if (!(d >= FLT_MIN && d <= FLT_MAX)) return false;
    constexpr uint64_t kBelowFloat = (uint64_t{1} << 29) - 1;  // double bits a float drops
    if ((std::bit_cast<uint64_t>(d) & kBelowFloat) == (uint64_t{1} << 28)) return false;
    out = static_cast<float>(d);
    return true;
}

// 2^e as a double, for normal results.
double Pow2(int e) { return std::bit_cast<double>(static_cast<uint64_t>(e + 1023) << 52); }

// The layout of the general form: n's digits without trailing zeros, the
// point after the first digit scaled by 10^exponent.
char* PutGeneral(char* out, bool negative, uint64_t n, int exponent) {
    char digits[24];
    int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
    while (count > 1 && digits[count - 1] == '0') --count;

    if (negative) *out++ = '-';
    if (exponent < -4 || exponent > 6) {
        *out++ = digits[0];
        if (count > 1) {
            *out++ = '.';
            std::memcpy(out, digits + 1, static_cast<std::size_t>(count - 1));
            out += count - 1;
        }
        *out++ = 'E';
        *out++ = exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(exponent);
        if (magnitude < 10) *out++ = '0';
        return std::to_chars(out, out + 4, magnitude).ptr;
    }
    if (exponent >= 0) {
        const int intDigits = exponent + 1;
        if (count <= intDigits) {
            std::memcpy(out, digits, static_cast<std::size_t>(count));
            out += count;
            for (int i = count; i < intDigits; ++i) *out++ = '0';
            return out;
        }
        std::memcpy(out, digits, static_cast<std::size_t>(intDigits));
        out += intDigits;
        *out++ = '.';
        std::memcpy(out, digits + intDigits, static_cast<std::size_t>(count - intDigits));
        return out + (count - intDigits);
    }
    *out++ = '0';
    *out++ = '.';
    for (int i = 0; i < -exponent - 1; ++i) *out++ = '0';
    std::memcpy(out, digits, static_cast<std::size_t>(count));
    return out + count;
}

// A plain decimal "-12.5e3" (no other sign, no blanks, no D exponent, at most
// 19 digits before the exponent), read exactly; false for anything else.
bool ReadPlainDecimal(std::string_view field, float& value) {
    const char* p = field.data();
    const char* const end = p + field.size();
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    // Up to 19 digits fit in 64 bits; longer texts go the general way.
    uint64_t m = 0;
    auto digits = [&] {
        const char* const start = p;
        for (unsigned d; p < end && (d = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10; ++p) m = m * 10 + d;
        return static_cast<int>(p - start);
    };
    const int intDigits = digits();
    if (intDigits == 0) return false;
    int exponent = 0, fractionDigits = 0;
    if (p < end && *p == '.') {
        ++p;
        fractionDigits = digits();
        if (fractionDigits == 0) return false;
        exponent = -fractionDigits;
    }
    if (intDigits + fractionDigits > 19) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negativeExponent = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        const char* const digitsStart = p;
        int e = 0;
        for (; p < end && static_cast<unsigned char>(*p - '0') < 10; ++p)
            if (e < 10000) e = e * 10 + (*p - '0');
        if (p == digitsStart) return false;
        exponent += negativeExponent ? -e : e;
    }
    if (p != end || !DecimalToFloat(m, exponent, value)) return false;
    if (negative) value = -value;
    return true;
}

}  // namespace

// FileNumber in a buffer: the 7-digit rounding when it reads back, else the
// 8-digit one when it does, else the 9-digit one. All three come from one
// scaling of the value to 9 digits in double arithmetic, which is exact
// enough to decide everything except values at or very near a rounding tie
// or a read-back edge; those, and values beyond the exact powers of ten, go
// through FileNumber itself.
char* PutFileNumber(char* out, float v) {
    if (!std::isfinite(v)) return PutText(out, FileNumber(v));
    if (v == 0.0f) {
        *out++ = '0';
        return out;
    }
    const float a = std::fabs(v);
    if (a < 1e7f && a == std::trunc(a)) return std::to_chars(out, out + kMaxMydNumber, static_cast<int32_t>(v)).ptr;

    const uint32_t bits = std::bit_cast<uint32_t>(a);
    const int biased = static_cast<int>(bits >> 23);
    if (biased == 0) return PutText(out, FileNumber(v));  // subnormal
    const int binaryExponent = biased - 126;               // 2^(e-1) <= a < 2^e
    const bool powerOfTwo = (bits & 0x7FFFFFu) == 0;       // the float below is nearer than the one above

    // x = a scaled to 9 digits before the point: 10^8 <= x < 10^9. The decade
    // estimate from the binary exponent is exact or one too low.
    int decade = ((binaryExponent - 1) * 78913) >> 18;  // floor((e - 1) * log10(2))
    int shift = 0;
    double x = 0.0;
    for (int attempt = 0; attempt < 2; ++attempt, ++decade) {
        shift = 8 - decade;
        if (shift < -kMaxExactPow10 || shift > kMaxExactPow10) return PutText(out, FileNumber(v));
        x = shift >= 0 ? double(a) * kExactPow10[shift] : double(a) / kExactPow10[-shift];
        if (x < 1e9) break;
    }
    if (!(x >= 1e8 && x < 1e9)) return PutText(out, FileNumber(v));
    const uint64_t whole = static_cast<uint64_t>(x);
    const double fraction = x - double(whole);
    constexpr double kMargin = 1e-5;  // far above the rounding error of x (about 1e-7)
    if (std::fabs(fraction - 0.5) < kMargin) return PutText(out, FileNumber(v));
    const uint64_t n9 = whole + (fraction > 0.5 ? 1 : 0);

    // Half a unit in the last place of a, in units of x.
    const double ulp = Pow2(binaryExponent - 24);
    const double half = shift >= 0 ? ulp * 0.5 * kExactPow10[shift] : ulp * 0.5 / kExactPow10[-shift];

    for (int digits = 7; digits <= 8; ++digits) {
        const uint64_t drop = kPow10[9 - digits];
        const uint64_t rest = n9 % drop;
        bool up = rest * 2 > drop;
        if (rest * 2 == drop) {  // n9 sits on the tie: x itself decides
            const double tie = double(n9);
            if (std::fabs(x - tie) < kMargin) return PutText(out, FileNumber(v));
            up = x > tie;
        }
        const uint64_t n = n9 / drop + (up ? 1 : 0);
        const double scaled = double(n * drop);
        const double limit = powerOfTwo && scaled < x ? half * 0.5 : half;
        const double distance = std::fabs(scaled - x);
        if (distance < limit - kMargin) {
            if (n == kPow10[digits]) return PutGeneral(out, v < 0.0f, kPow10[digits - 1], decade + 1);
            return PutGeneral(out, v < 0.0f, n, decade);
        }
        if (distance <= limit + kMargin) return PutText(out, FileNumber(v));
    }
    if (n9 == kPow10[9]) return PutGeneral(out, v < 0.0f, kPow10[8], decade + 1);
    return PutGeneral(out, v < 0.0f, n9, decade);
}

char* PutSignedColor(char* out, float v) {
    if (!std::isfinite(v)) return PutText(out, SignedColor(v));
    *out++ = std::signbit(v) && v != 0.0f ? '-' : ' ';
    const float magnitude = std::fabs(v);
    if (magnitude == std::floor(magnitude) && magnitude < 1e15f)
        return std::to_chars(out, out + kMaxMydNumber, static_cast<long long>(magnitude)).ptr;
    return PutFileNumber(out, magnitude);
}

NumberRead ReadFieldNumber(std::string_view field) {
    // A plain decimal reads the same under the leading-number rule; everything
    // else (signs, blanks, D exponents, overflow, very long texts) goes
    // through that rule.
    float value = 0.0f;
    if (field.size() <= 48 && ReadPlainDecimal(field, value)) return {value, true};
    return ReadNumber(field);
}

bool MarkerIsPoint(std::string_view marker) {
    if (marker.size() == 1) return marker[0] == '1';
    // The leading-number rule in double precision: only a value of exactly 1
    // makes a point.
    std::string text;
    text.reserve(marker.size());
    for (char c : marker) {
        if (c == ' ' || c == '\t' || c == '\n') continue;
        text += (c == 'D' || c == 'd') ? 'e' : c;
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    const char first = text[i];
    const bool startsNumber = (first >= '0' && first <= '9') ||
                              (first == '.' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9');
    if (!startsNumber) return false;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    return ec == std::errc() && !negative && value == 1.0;
}

// ---- reading ----

namespace {

// Control bytes other than tab, line feed and carriage return mark a binary file.
constexpr std::array<bool, 256> kBinaryByte = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 0x20; ++c) t[static_cast<std::size_t>(c)] = c != '\t' && c != '\n' && c != '\r';
    t[0x7F] = true;
    return t;
}();

const char* FindBinaryByte(const char* p, const char* end) {
    // Blocks without a hit are the rule: test them with a loop the compiler vectorizes.
    constexpr std::size_t kBlock = 256;
    while (static_cast<std::size_t>(end - p) >= kBlock) {
        uint8_t any = 0;
        for (std::size_t i = 0; i < kBlock; ++i) {
            const uint8_t c = static_cast<uint8_t>(p[i]);
            any |= static_cast<uint8_t>((c < 0x20) & (c != '\t') & (c != '\n') & (c != '\r')) |
                   static_cast<uint8_t>(c == 0x7F);
        }
        if (any) break;
        p += kBlock;
    }
    while (p < end && !kBinaryByte[static_cast<unsigned char>(*p)]) ++p;
    return p;
}

// End of the line that starts at p: the first LF, or a CR that stands alone.
const char* LineEnd(const char* p, const char* end) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (!lf) lf = end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(lf - p)));
    return cr ? cr : lf;
}

// Start of the next line after a line end at e.
const char* NextLine(const char* e, const char* end) {
    if (e < end && *e == '\r' && e + 1 < end && e[1] == '\n') return e + 2;
    return e + 1;
}

constexpr char kDosEndOfFile = '\x1a';

// An empty line, or one of blanks and tabs only, holds no record.
bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

std::string_view TrimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

// Splits `rest` at its first blank: the field before it goes to `field`, the
// text behind it stays in `rest`. False when there is no blank.
bool SplitField(std::string_view& rest, std::string_view& field) {
    const void* blank = std::memchr(rest.data(), ' ', rest.size());
    if (!blank) return false;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(blank) - rest.data());
    field = rest.substr(0, at);
    rest.remove_prefix(at + 1);
    return true;
}

// What one chunk of whole lines of a file holds. Line numbers count from the
// chunk's first line.
struct Chunk {
    RecordBlocks<CPoint> points;
    RecordBlocks<CLine> lines;
    int64_t lineCount = 0;
    int64_t binaryLine = 0;  // line of the first control byte, 0 if none
    MydProblem problem = MydProblem::None;
    int64_t problemLine = 0;
};

// Reads one record line into `out`; the problem if it can't.
MydProblem ParseRecord(std::string_view line, Chunk& out) {
    std::string_view marker, rest = line, field;
    if (!SplitField(rest, marker)) return MydProblem::TooFewFields;
    const bool point = MarkerIsPoint(marker);

    // The field right after the marker is taken as it stands; every later one
    // from the trimmed rest; the last one is the whole trimmed rest.
    constexpr int kPointFields = 3, kLineFields = 6;
    float values[kLineFields];
    const int fields = point ? kPointFields : kLineFields;
    for (int i = 0; i < fields; ++i) {
        if (i > 0) rest = TrimBlanks(rest);
        if (i + 1 < fields) {
            if (!SplitField(rest, field)) return MydProblem::TooFewFields;
        } else {
            field = rest;
        }
        const NumberRead read = ReadFieldNumber(field);
        if (!read.fits) return MydProblem::OutOfRange;
        values[i] = read.value;
    }

    if (point) {
        CPoint& p = out.points.New();
        p.pntNO = values[0];
        p.X = values[1];
        p.Y = values[2];
    } else {
        CLine& l = out.lines.New();
        l.ID = values[0];
        l.sp.X = values[1];
        l.sp.Y = values[2];
        l.ep.X = values[3];
        l.ep.Y = values[4];
        l.color = values[5];
    }
    return MydProblem::None;
}

// Parses whole lines; the last one may have no line end. After a problem the
// remaining lines are only counted.
void ParseChunk(std::string_view text, Chunk& out) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* const binary = FindBinaryByte(begin, end);
    int64_t line = 0;
    for (const char* p = begin; p < end;) {
        ++line;
        const char* const e = LineEnd(p, end);
        if (binary != end) {
            if (out.binaryLine == 0 && binary <= e) out.binaryLine = line;
        } else if (!IsBlank(std::string_view(p, static_cast<std::size_t>(e - p))) &&
                   out.problem == MydProblem::None) {
            const MydProblem problem = ParseRecord(std::string_view(p, static_cast<std::size_t>(e - p)), out);
            if (problem != MydProblem::None) {
                out.problem = problem;
                out.problemLine = line;
            }
        }
        p = NextLine(e, end);
    }
    out.lineCount = line;
}

MydContent Failure(MydProblem problem, int64_t line) {
    MydContent failed;
    failed.problem = problem;
    failed.line = line;
    return failed;
}

// Where a chunk that should hold about `want` bytes from `from` ends: right
// after the first line end from there on, or at the end of the text.
std::size_t ChunkEnd(std::string_view text, std::size_t from, std::size_t want) {
    std::size_t i = from + want > text.size() ? text.size() : from + want - 1;
    for (; i < text.size(); ++i) {
        if (text[i] == '\n') return i + 1;
        if (text[i] == '\r') return i + 1 < text.size() && text[i + 1] == '\n' ? i + 2 : i + 1;
    }
    return text.size();
}

// How much of a block read from a file may be parsed before the rest of the
// file is known: up to its last line end that can't be the CR of a CR LF
// split by the block's end. 0 when there is none.
std::size_t WholeLines(const char* data, std::size_t size) {
    if (const void* lf = ::memrchr(data, '\n', size)) return static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
    if (size < 2) return 0;
    if (const void* cr = ::memrchr(data, '\r', size - 1)) return static_cast<std::size_t>(static_cast<const char*>(cr) - data) + 1;
    return 0;
}

int Workers() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(cores == 0 ? 1 : std::min(cores, 8u));
}

// Runs body(worker) on `workers` threads, this one included, and waits for all.
template <class Body>
void OnWorkers(int workers, Body body) {
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w) threads.emplace_back(body, w);
    body(0);
    for (std::thread& t : threads) t.join();
}

// Parses the chunks that `next` hands out, on `workers` threads, and puts the
// records together in file order. next(worker, text) gives the next chunk's
// text (valid until that worker's next call) and returns false at the end or
// on a read error, which it reports through `readFailed`.
template <class Next>
MydContent ParseChunks(int workers, Next next, const bool& readFailed) {
    std::mutex mutex;
    std::vector<std::unique_ptr<Chunk>> chunks;
    std::atomic<bool> outOfMemory{false};
    OnWorkers(workers, [&](int worker) {
        try {
            for (;;) {
                std::string_view text;
                Chunk* chunk = nullptr;
                {
                    const std::lock_guard<std::mutex> lock(mutex);
                    if (outOfMemory || !next(worker, text)) return;
                    chunks.push_back(std::make_unique<Chunk>());
                    chunk = chunks.back().get();
                }
                ParseChunk(text, *chunk);
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    });
    if (readFailed || outOfMemory) return Failure(MydProblem::CannotRead, 0);

    // A binary file is named as such, even where an earlier line is also bad.
    int64_t before = 0;
    for (const auto& c : chunks) {
        if (c->binaryLine != 0) return Failure(MydProblem::NotText, before + c->binaryLine);
        before += c->lineCount;
    }
    before = 0;
    for (const auto& c : chunks) {
        if (c->problem != MydProblem::None) return Failure(c->problem, before + c->problemLine);
        before += c->lineCount;
    }

    // The shared references, each chunk's at its place, made on all workers.
    std::vector<std::size_t> pointAt(chunks.size() + 1, 0), lineAt(chunks.size() + 1, 0);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        pointAt[i + 1] = pointAt[i] + chunks[i]->points.Count();
        lineAt[i + 1] = lineAt[i] + chunks[i]->lines.Count();
    }
    try {
        std::vector<PointList::Ref> points(pointAt.back());
        std::vector<LineList::Ref> lines(lineAt.back());
        std::atomic<std::size_t> nextChunk{0};
        OnWorkers(std::min<int>(workers, static_cast<int>(chunks.size())), [&](int) {
            for (std::size_t i; (i = nextChunk++) < chunks.size();) {
                chunks[i]->points.Share(points.data() + pointAt[i]);
                chunks[i]->lines.Share(lines.data() + lineAt[i]);
            }
        });
        chunks.clear();
        MydContent out;
        out.points = PointList(std::move(points));
        out.lines = LineList(std::move(lines));
        return out;
    } catch (const std::bad_alloc&) {
        return Failure(MydProblem::CannotRead, 0);
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    // Closes now and reports whether the close succeeded.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

}  // namespace

MydContent ParseMyd(std::string_view text, std::size_t chunkBytes) {
    // A UTF-8 byte order mark, as some editors put in front, is no record.
    if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0) text.remove_prefix(3);
    // Nor is the end-of-file byte that DOS programs put at the very end.
    if (!text.empty() && text.back() == kDosEndOfFile) text.remove_suffix(1);
    if (chunkBytes == 0) chunkBytes = 1;
    std::size_t at = 0;
    const bool readFailed = false;
    auto next = [&](int, std::string_view& chunk) {
        if (at >= text.size()) return false;
        const std::size_t end = ChunkEnd(text, at, chunkBytes);
        chunk = text.substr(at, end - at);
        at = end;
        return true;
    };
    return ParseChunks(text.size() > chunkBytes ? Workers() : 1, next, readFailed);
}

MydContent LoadMydFile(const std::string& path, std::size_t chunkBytes) {
    // Non-blocking open: a pipe without a writer is refused below instead of
    // hanging here; a regular file reads the same either way.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return Failure(MydProblem::CannotOpen, 0);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Failure(MydProblem::CannotOpen, 0);
    if (chunkBytes == 0) chunkBytes = 1;

    // Each worker reads the next block into its own buffer, behind the part
    // of a line that the block before ended with, and parses up to the last
    // line end while the others read and parse theirs.
    const int workers = static_cast<std::size_t>(st.st_size) > chunkBytes ? Workers() : 1;
    std::vector<std::vector<char>> buffers(static_cast<std::size_t>(workers));
    std::vector<char> carry;
    bool atEnd = false, first = true, readFailed = false;
    auto next = [&](int worker, std::string_view& chunk) {
        if (atEnd) return false;
        std::vector<char>& buffer = buffers[static_cast<std::size_t>(worker)];
        buffer.resize(std::max(buffer.size(), carry.size() + chunkBytes));
        std::copy(carry.begin(), carry.end(), buffer.begin());
        std::size_t filled = carry.size(), usable = 0;
        for (;;) {
            while (filled < buffer.size()) {
                const ssize_t n = ::read(fd.get(), buffer.data() + filled, buffer.size() - filled);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) {
                    readFailed = atEnd = true;
                    return false;
                }
                if (n == 0) {
                    atEnd = true;
                    break;
                }
                filled += static_cast<std::size_t>(n);
            }
            usable = atEnd ? filled : WholeLines(buffer.data(), filled);
            // The end-of-file byte that DOS programs put at the very end is no record.
            if (atEnd && usable > 0 && buffer[usable - 1] == kDosEndOfFile) --usable;
            if (usable > 0 || atEnd) break;
            buffer.resize(buffer.size() * 2);  // a line longer than a block
        }
        carry.assign(buffer.begin() + static_cast<std::ptrdiff_t>(usable), buffer.begin() + static_cast<std::ptrdiff_t>(filled));
        std::size_t skip = 0;
        if (first && usable >= 3 && std::memcmp(buffer.data(), "\xEF\xBB\xBF", 3) == 0) skip = 3;
        first = false;
        chunk = std::string_view(buffer.data() + skip, usable - skip);
        return usable > skip || !atEnd;
    };
    return ParseChunks(workers, next, readFailed);
}

// ---- writing ----

namespace {

// Longest record: marker, five numbers, the colour, blanks and CR LF.
constexpr std::size_t kMaxRecord = 2 + 6 * (kMaxMydNumber + 1) + 2;
constexpr std::size_t kChunk = std::size_t{1} << 20;

char* PutPoint(char* out, const CPoint& p) {
    *out++ = '1';
    *out++ = ' ';
    out = PutFileNumber(out, p.pntNO);
    *out++ = ' ';
    out = PutFileNumber(out, p.X);
    *out++ = ' ';
    out = PutFileNumber(out, p.Y);
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

char* PutLine(char* out, const CLine& l) {
    *out++ = '2';
    *out++ = ' ';
    out = PutFileNumber(out, l.ID);
    for (float v : {l.sp.X, l.sp.Y, l.ep.X, l.ep.Y}) {
        *out++ = ' ';
        out = PutFileNumber(out, v);
    }
    *out++ = ' ';
    out = PutSignedColor(out, l.color);
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

// Formats the drawing in chunks of about kChunk bytes and hands each to
// `sink`, which returns false to stop.
template <class Sink>
bool FormatMyd(const PointList& points, const LineList& lines, Sink&& sink) {
    std::unique_ptr<char[]> buffer(new char[kChunk + kMaxRecord]);
    char* const begin = buffer.get();
    char* out = begin;
    auto flushIfFull = [&] {
        if (static_cast<std::size_t>(out - begin) < kChunk) return true;
        const bool ok = sink(begin, static_cast<std::size_t>(out - begin));
        out = begin;
        return ok;
    };
    for (const auto& p : points) {
        out = PutPoint(out, *p);
        if (!flushIfFull()) return false;
    }
    for (const auto& l : lines) {
        out = PutLine(out, *l);
        if (!flushIfFull()) return false;
    }
    return out == begin || sink(begin, static_cast<std::size_t>(out - begin));
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteDrawing(int fd, const PointList& points, const LineList& lines) {
    return FormatMyd(points, lines, [fd](const char* data, std::size_t size) { return WriteAll(fd, data, size); });
}

// Devices and pipes get no file beside them; they are written as they are.
bool SaveToDeviceOrPipe(const std::string& path, const PointList& points, const LineList& lines) {
    // Non-blocking open: a pipe without a reader fails instead of hanging.
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) return false;
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return false;
    if (!WriteDrawing(fd.get(), points, lines)) return false;
    return fd.Close();
}

}  // namespace

std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    // Hidden, and short enough for any file name length limit.
    const std::string base = (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 200);
    return dir + "." + base + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

void SyncDirectoryOf(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) (void)::fsync(fd.get());  // the rename is done; this only hastens it to the disk
}

std::string WriteMydText(const PointList& points, const LineList& lines) {
    std::string text;
    FormatMyd(points, lines, [&text](const char* data, std::size_t size) {
        text.append(data, size);
        return true;
    });
    return text;
}

bool SaveMydFile(const std::string& path, const PointList& points, const LineList& lines) {
    if (path.empty()) return false;
    // Replace the file a symbolic link points to, not the link.
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return SaveToDeviceOrPipe(target, points, lines);
    if (exists && ::access(target.c_str(), W_OK) != 0) return false;  // a protected file stays protected

    std::string temporary;
    FileDescriptor fd;
    for (int attempt = 0; attempt < 100 && fd.get() < 0; ++attempt) {
        temporary = TemporaryName(target);
        fd.Reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.get() < 0 && errno != EEXIST) return false;
    }
    if (fd.get() < 0) return false;
    if (exists) (void)::fchmod(fd.get(), st.st_mode & 07777);  // keep the old file's permissions

    bool ok = false;
    try {
        ok = WriteDrawing(fd.get(), points, lines) && ::fsync(fd.get()) == 0;
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ok = fd.Close() && ok;
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncDirectoryOf(target);
    return true;
}
