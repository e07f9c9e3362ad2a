#include "storage/mydfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
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

// 10^j for the exponents a float can have, with room on both sides.
constexpr int kMinPow10 = -60, kMaxPow10 = 50;
const std::array<double, kMaxPow10 - kMinPow10 + 1>& Pow10Table() {
    static const auto table = [] {
        std::array<double, kMaxPow10 - kMinPow10 + 1> t{};
        for (int j = kMinPow10; j <= kMaxPow10; ++j) t[static_cast<std::size_t>(j - kMinPow10)] = std::pow(10.0, j);
        return t;
    }();
    return table;
}

}  // namespace

// FileNumber gives the 7-digit rounding when it reads back, else the 8- or
// 9-digit one. The shortest round-trip digits from to_chars are the same text
// whenever the float's rounding interval is symmetric (not a power of two) and,
// for fewer than 7 digits, no second 7-digit decimal fits in that interval.
// Every other case goes the slow way through FileNumber itself.
char* PutFileNumber(char* out, float v) {
    if (!std::isfinite(v)) return PutText(out, FileNumber(v));
    if (v == 0.0f) {
        *out++ = '0';
        return out;
    }
    const float a = std::fabs(v);
    if (a < 1e7f && a == std::trunc(a)) return std::to_chars(out, out + kMaxMydNumber, static_cast<int32_t>(v)).ptr;

    const uint32_t bits = std::bit_cast<uint32_t>(a);
    const uint32_t biasedExponent = bits >> 23;
    if ((bits & 0x7FFFFFu) == 0) return PutText(out, FileNumber(v));

    char sci[32];
    const char* const sciEnd = std::to_chars(sci, sci + sizeof sci, a, std::chars_format::scientific).ptr;
    char digits[12];
    int count = 0;
    const char* s = sci;
    digits[count++] = *s++;
    if (*s == '.')
        for (++s; *s != 'e';) digits[count++] = *s++;
    ++s;  // 'e'
    const bool negativeExponent = *s++ == '-';
    int exponent = 0;
    while (s < sciEnd) exponent = exponent * 10 + (*s++ - '0');
    if (negativeExponent) exponent = -exponent;

    if (count < 7) {
        // Spacing of the 7-digit decimals around v (one decade lower below a power of ten).
        const int j = (count == 1 && digits[0] == '1') ? exponent - 7 : exponent - 6;
        const double ulp = std::ldexp(1.0, biasedExponent == 0 ? -149 : static_cast<int>(biasedExponent) - 150);
        if (j < kMinPow10 || j > kMaxPow10 ||
            !(Pow10Table()[static_cast<std::size_t>(j - kMinPow10)] > ulp * 1.000001))
            return PutText(out, FileNumber(v));
    }

    if (v < 0.0f) *out++ = '-';
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

char* PutSignedColor(char* out, float v) {
    if (!std::isfinite(v)) return PutText(out, SignedColor(v));
    *out++ = std::signbit(v) && v != 0.0f ? '-' : ' ';
    const float magnitude = std::fabs(v);
    if (magnitude == std::floor(magnitude) && magnitude < 1e15f)
        return std::to_chars(out, out + kMaxMydNumber, static_cast<long long>(magnitude)).ptr;
    return PutFileNumber(out, magnitude);
}

NumberRead ReadFieldNumber(std::string_view field) {
    // A plain "-12.5e3" that from_chars takes whole reads the same under the
    // leading-number rule; everything else (signs, blanks, D exponents,
    // overflow, very long texts) goes through that rule.
    if (!field.empty() && field.size() <= 48) {
        const char* const begin = field.data();
        const char* const end = begin + field.size();
        const char* d = begin;
        if (*d == '-') ++d;
        if (d < end && static_cast<unsigned char>(*d - '0') < 10) {
            float value = 0.0f;
            const auto [ptr, ec] = std::from_chars(begin, end, value);
            if (ec == std::errc() && ptr == end) return {value, true};
        }
    }
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
        bool any = false;
        for (std::size_t i = 0; i < kBlock; ++i) {
            const unsigned char c = static_cast<unsigned char>(p[i]);
            any |= (c < 0x20 && c != '\t' && c != '\n' && c != '\r') | (c == 0x7F);
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
    const char* const end = begin + text.size();
    // A UTF-8 byte order mark, as some editors put in front, is no record.
    if (text.size() >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) begin += 3;

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
        if (e > p) {
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
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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
bool SaveToSpecialFile(const std::string& path, const PointList& points, const LineList& lines) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return false;
    if (!WriteDrawing(fd.get(), points, lines)) return false;
    return fd.Close();
}

std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return dir + "." + base + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

void SyncDirectoryOf(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) (void)::fsync(fd.get());  // the rename is done; this only hastens it to the disk
}

}  // namespace

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
    if (exists && !S_ISREG(st.st_mode)) return SaveToSpecialFile(target, points, lines);
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
