#include "storage/mydfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include <new>

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
// 19 significant digits), read exactly; false for anything else.
bool ReadPlainDecimal(std::string_view field, float& value) {
    const char* p = field.data();
    const char* const end = p + field.size();
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    auto isDigit = [](char c) { return static_cast<unsigned char>(c - '0') < 10; };
    uint64_t m = 0;
    int significant = 0, exponent = 0;
    auto take = [&](char c) {
        if (m == 0 && c == '0') return true;  // leading zeros don't count
        if (++significant > 19) return false;
        m = m * 10 + static_cast<uint64_t>(c - '0');
        return true;
    };
    const char* const intStart = p;
    for (; p < end && isDigit(*p); ++p)
        if (!take(*p)) return false;
    if (p == intStart) return false;
    if (p < end && *p == '.') {
        const char* const fractionStart = ++p;
        for (; p < end && isDigit(*p); ++p, --exponent)
            if (!take(*p)) return false;
        if (p == fractionStart) return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negativeExponent = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        const char* const digitsStart = p;
        int e = 0;
        for (; p < end && isDigit(*p); ++p)
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

// Reads one record line into `out`; the problem if it can't.
MydProblem ParseRecord(std::string_view line, MydContent& out) {
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
        auto p = std::make_shared<CPoint>();
        p->pntNO = values[0];
        p->X = values[1];
        p->Y = values[2];
        out.points.Add(std::move(p));
    } else {
        auto l = std::make_shared<CLine>();
        l->ID = values[0];
        l->sp.X = values[1];
        l->sp.Y = values[2];
        l->ep.X = values[3];
        l->ep.Y = values[4];
        l->color = values[5];
        out.lines.Add(std::move(l));
    }
    return MydProblem::None;
}

MydContent Failure(MydProblem problem, int64_t line) {
    MydContent failed;
    failed.problem = problem;
    failed.line = line;
    return failed;
}

}  // namespace

MydContent ParseMyd(std::string_view text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    // A UTF-8 byte order mark, as some editors put in front, is no record.
    if (text.size() >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) begin += 3;
    // Nor is the end-of-file byte that DOS programs put at the very end.
    if (end > begin && end[-1] == kDosEndOfFile) --end;

    // A binary file is named as such, even where an earlier line is also bad.
    if (const char* binary = FindBinaryByte(begin, end); binary != end) {
        int64_t line = 1;
        for (const char* p = begin; (p = LineEnd(p, end)) < binary; p = NextLine(p, end)) ++line;
        return Failure(MydProblem::NotText, line);
    }

    MydContent out;
    int64_t line = 0;
    for (const char* p = begin; p < end;) {
        ++line;
        const char* const e = LineEnd(p, end);
        if (!IsBlank(std::string_view(p, static_cast<std::size_t>(e - p)))) {
            const MydProblem problem = ParseRecord(std::string_view(p, static_cast<std::size_t>(e - p)), out);
            if (problem != MydProblem::None) return Failure(problem, line);
        }
        p = NextLine(e, end);
    }
    return out;
}

namespace {

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

MydContent LoadMydFile(const std::string& path) {
    // Non-blocking open: a pipe without a writer is refused below instead of
    // hanging here; a regular file reads the same either way.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return Failure(MydProblem::CannotOpen, 0);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Failure(MydProblem::CannotOpen, 0);

    const auto size = static_cast<std::size_t>(st.st_size);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 1]);
    if (!buffer) return Failure(MydProblem::CannotRead, 0);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd.get(), buffer.get() + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Failure(MydProblem::CannotRead, 0);
        if (n == 0) break;  // the file got shorter meanwhile
        got += static_cast<std::size_t>(n);
    }
    fd.Close();
    try {
        return ParseMyd(std::string_view(buffer.get(), got));
    } catch (const std::bad_alloc&) {
        return Failure(MydProblem::CannotRead, 0);
    }
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
